#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (HBX_FUZZ=ON: libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs each for a bounded
# time from its seed corpus, fuzz/corpus/<target>/.
#   tools/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]   (default: 60 s, every target)
# tools/test.sh runs every target briefly. A failure leaves its input in
# build/fuzz/<target>-artifacts/ and ends the script with 1; inputs found new
# are kept in build/fuzz/<target>-corpus/ (the repository's seeds stay as
# they are).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z "$cxx" ]]; then
  echo "fuzz.sh: clang++ not found (Debian: apt-get install clang libclang-rt-dev)" >&2
  exit 2
fi
build=build/fuzz
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DHBX_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
status=0
for target in "${targets[@]}"; do
  corpus="$build/$target-corpus"
  artifacts="$build/$target-artifacts"
  mkdir -p "$corpus" "$artifacts"
  # Firmware sources are up to 64 KiB; the other inputs are short texts and replies.
  case "$target" in
    classify_fuzz | staging_fuzz) max_len=70000 ;;
    *) max_len=4096 ;;
  esac
  options=(-max_total_time="$seconds" -max_len="$max_len" -timeout=30 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  # The targets on the simulated computer keep one computer for many inputs,
  # which libFuzzer's per-input leak check would take for a leak on every run.
  case "$target" in
    command_line_fuzz | platform_replies_fuzz) options+=(-detect_leaks=0) ;;
  esac
  if [ -f "fuzz/corpus/$target.dict" ]; then options+=(-dict="fuzz/corpus/$target.dict"); fi
  if "$build/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")
    echo "$target: ${runs:-?} runs in ${seconds} s, no failure"
  else
    echo "$target FAILED; see $build/$target.log and $artifacts/" >&2
    tail -40 "$build/$target.log" >&2
    status=1
  fi
done
exit $status

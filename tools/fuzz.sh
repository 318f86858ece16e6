#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#   tools/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Not part of CI. Findings are left in build/fuzz/<target>-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z "$cxx" ]]; then
  echo "fuzz.sh: clang++ not found (Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
fi
build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2
status=0
for target in classify_fuzz staging_fuzz; do
  corpus="$build/$target-corpus"
  artifacts="$build/$target-artifacts"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds}s"
  if ! "$build/$target" -max_total_time="$seconds" -max_len=70000 -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$corpus" 2>"$build/$target.log"; then
    echo "$target found a failure; see $build/$target.log and $artifacts/" >&2
    status=1
  fi
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$build/$target.log" || true
done
exit $status

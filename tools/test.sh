#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a normal build, a
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer), every fuzz
# target for a short time, the whole-run tests under ThreadSanitizer, and the
# Windows program: built with 32-bit mingw-w64 (with the checks of the core's
# headers and byte layouts against the Windows SDK) and checked as a PE file,
# then run under Wine. Where this machine runs no 32-bit Linux programs (and
# so no 32-bit Wine), the same sources are also built for x86-64 and that
# build runs every Wine check in a 64-bit prefix.
# Each step is named and timed; a failure names the step, the command and its
# exit code.
cd "$(dirname "$0")/.."
source tools/steps.sh
jobs=$(nproc)

step "installing what is missing"
bash tools/install-deps.sh

step "dependency order of the folders and libraries"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHBX_WERROR=ON >/dev/null
python3 tools/include_graph.py --cmake-build build/release

step "release build"
cmake --build build/release -j "$jobs"

step "release tests"
ctest --test-dir build/release --output-on-failure -j "$jobs"

step "the interruption matrix, short form"
build/release/fault_matrix --quick --jobs "$jobs"

step "sanitizer build"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHBX_SANITIZE=ON -DHBX_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"

step "sanitizer tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

step "fuzzing every parser of outside input (clang, ${HBX_FUZZ_SECONDS:=10} s a target)"
bash tools/fuzz.sh "$HBX_FUZZ_SECONDS"

step "ThreadSanitizer build of the whole-run tests"
# Only what runs the workers, the main task, the UI thread, the re-enumeration
# and the export read-back: whole runs in-process, the update run, the walk,
# and the program in a terminal.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DHBX_TSAN=ON \
  -DHBX_WERROR=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target e2e_run_tests update_run_tests walk_tests terminal_tests

step "ThreadSanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -R '^(WholeRun|UpdateRun|WalkTest|PtyRunTest)'

# windows_build <folder> <toolchain file> [<targets>...]: configures and builds
# a Windows build (all of it when no target is named).
windows_build() {
  local folder=$1 toolchain=$2
  shift 2
  cmake -S . -B "$folder" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DHBX_WERROR=ON -DHBX_STANDIN_TEST_PROGRAM=ON -DHBX_WIN32_TESTS=ON >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$folder" -j "$jobs" "${targets[@]}"
}
# pe_checks <folder> <machine>: the program and the stand-in test build, read
# as PE files.
pe_checks() {
  /usr/bin/python3 tools/pe_check.py "$1/8634FWUpgradeTool.exe" --machine "$2" \
    --payload-rc "$1/win32/payloads.rc"
  /usr/bin/python3 tools/pe_check.py "$1/test-standin/8634FWUpgradeTool.exe" --machine "$2" \
    --payload-rc "$1/win32/payloads_standin.rc" --special-build
}

step "the 32-bit Windows program (i686-w64-mingw32): build, SDK names and layouts"
windows_build build/win32 cmake/mingw-i686.cmake hbx_program_win32 hbx_program_win32_standin \
  hbx_win32_sdk_layout_checks hbx_win32_core_names_check hbx_win32_core_headers_check

step "the 32-bit Windows program read as a PE file"
pe_checks build/win32 i386

if python3 tools/i386_probe.py; then
  step "the SDK layouts for x86-64 (x86_64-w64-mingw32)"
  windows_build build/win64 cmake/mingw-x86_64.cmake hbx_win32_sdk_layout_checks hbx_win32_core_names_check

  step "the 32-bit Windows program under Wine (32-bit prefix)"
  cmake --build build/win32 -j "$jobs"  # the test programs Wine runs
  bash tools/wine_checks.sh build/win32 build/release
else
  echo "This machine runs no 32-bit Linux programs (nor 32-bit Wine): the 32-bit Windows program was" \
    "built and checked statically (SDK layouts, PE checks) but not run; the Wine checks run on its x86-64 build."

  step "the 64-bit Windows program (x86_64-w64-mingw32): build, SDK names and layouts"
  windows_build build/win64 cmake/mingw-x86_64.cmake

  step "the 64-bit Windows program read as a PE file"
  pe_checks build/win64 amd64

  step "the 64-bit Windows program under Wine (64-bit prefix)"
  bash tools/wine_checks.sh build/win64 build/release
fi

step "the release package: both programs, the Windows readme, SHA-256 sums"
cmake --build build/win64 -j "$jobs" --target package
/usr/bin/python3 tools/check_package.py build/win64/HBX763xFWUpgradeTool-3.2.2.0-windows.zip

steps_summary

#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a normal build, a
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer), every fuzz
# target for a short time, the whole-run tests under ThreadSanitizer, and the
# Windows program built with 32-bit mingw-w64 (with the check of the core
# headers against the Windows SDK's macro names) and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)

echo "== dependency order of the folders and libraries"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHBX_WERROR=ON >/dev/null
python3 tools/include_graph.py --cmake-build build/release

echo "== build and test"
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== the interruption matrix, short form"
build/release/fault_matrix --quick --jobs "$jobs"

echo "== sanitizer build and test"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHBX_SANITIZE=ON -DHBX_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== fuzzing every parser of outside input (clang, ${HBX_FUZZ_SECONDS:=10} s a target)"
bash tools/fuzz.sh "$HBX_FUZZ_SECONDS"

echo "== ThreadSanitizer build of the whole-run tests"
# Only what runs the workers, the main task, the UI thread, the re-enumeration
# and the export read-back: whole runs in-process, the update run, the walk,
# and the program in a terminal.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DHBX_TSAN=ON \
  -DHBX_WERROR=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target e2e_run_tests update_run_tests walk_tests terminal_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -R '^(WholeRun|UpdateRun|WalkTest|PtyRunTest)'

echo "== the Windows program (i686-w64-mingw32), checked under Wine"
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DHBX_WERROR=ON -DHBX_STANDIN_TEST_PROGRAM=ON -DHBX_WIN32_TESTS=ON >/dev/null
cmake --build build/win32 -j "$jobs"
bash tools/wine_checks.sh build/win32 build/release

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on the built-in bench.
# Arguments are passed to the program; without any it runs a console update
# run with the full debug log written to build/debug.log. A failing step
# (install, configure, build) is named with its command and exit code.
cd "$(dirname "$0")/.."
source tools/steps.sh

step "installing what is missing"
bash tools/install-deps.sh

step "building the program"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target hbx_program

step "running the program"
if [ $# -eq 0 ]; then
  set -- /DOS /DBG 3
  export HBX_DEBUG_LOG="${HBX_DEBUG_LOG:-$PWD/build/debug.log}"
fi
export HBX_TIME_SCALE="${HBX_TIME_SCALE:-0.01}"
status=0
build/release/8634FWUpgradeTool "$@" || status=$?
echo "exit status: $status"
exit "$status"

#!/usr/bin/env bash
# Writes the dialog pictures of docs/ from real runs on the benches of
# tools/dialog_png/benches: a run that passes, one with a hub whose firmware
# write fails, one without a target hub, and a run while the hubs are written.
# Usage: tools/dialog_png/make_docs.sh [BUILD_DIR] (default build/release).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cmake --build "$build" --target hbx_dialog_png
tool=$build/tools/dialog_png/hbx_dialog_png
benches=$root/tools/dialog_png/benches
"$tool" "$benches/pass.json" end "$root/docs/dialog_pass.png"
"$tool" "$benches/fail.json" end "$root/docs/dialog_fail.png"
"$tool" "$benches/nohub.json" end "$root/docs/dialog_nohub.png"
"$tool" "$benches/pass.json" mid "$root/docs/dialog_midrun.png"

#!/usr/bin/env bash
# Runs the Windows build under Wine, in a fresh prefix of the build's
# architecture (32-bit for an i686 build, 64-bit for an x86-64 build) on a
# virtual display of its own:
#   tools/wine_checks.sh <Windows build folder> [<Linux build folder>]
# the port contract tests on the Win32 ports, the program's exits that need
# no USB hub, and screenshots of the dialog window compared with the
# project's renderer (the Linux build, default build/release, gives the
# states and the renderer; the pictures stay in <Windows build>/screenshots).
set -Eeuo pipefail
trap 'status=$?; echo "FAILED: Wine check command \`$BASH_COMMAND\` exited with status $status" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
linux=$(cd "${2:-$root/build/release}" && pwd)
prefix=$(mktemp -d /tmp/hbx-wine.XXXXXX)
# Wine's loader of the program's architecture, called directly: Debian's
# `wine` script always takes the 32-bit loader when it is installed, also
# where the kernel cannot run it.
machine=$(/usr/bin/python3 -c 'import pefile, sys; print(hex(pefile.PE(sys.argv[1], fast_load=True).FILE_HEADER.Machine))' \
  "$build/8634FWUpgradeTool.exe")
case $machine in
  0x14c) wine=/usr/lib/wine/wine arch=win32 mingw_cc=i686-w64-mingw32-gcc ;;
  0x8664) wine=/usr/lib/wine/wine64 arch=win64 mingw_cc=x86_64-w64-mingw32-gcc ;;
  *) echo "FAIL $build/8634FWUpgradeTool.exe is of machine $machine, neither i386 nor x86-64"; exit 1 ;;
esac
export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "Wine checks of $build in a $arch prefix"

# The display: Xvfb picks a free number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$prefix.display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$prefix" "$prefix.display"
}
trap cleanup EXIT
for _ in $(seq 1 50); do [ -s "$prefix.display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$prefix.display")

start=$SECONDS
"$wine" wineboot -i >/dev/null 2>&1
# A new prefix's first boot leaves its start-up processes running for a few
# seconds, among them a second service control manager (services.exe) beside
# the one the next command starts. Each answers on the same service pipe but
# keeps its own list of services: a service created through one is "not
# found" (ERROR_SERVICE_DOES_NOT_EXIST) through the other, and the setup
# library's DelService takes that as "already removed" and leaves the
# service's key. Waiting for that first session to end gives every check one
# service control manager, as on Windows.
wineserver -w
echo "Wine prefix ready in $((SECONDS - start)) s"

"$wine" "$build/port_contract_tests_win32.exe"

failures=0
report() {  # report <wanted> <got> <what>
  if [ "$2" -eq "$1" ]; then echo "ok   $3 -> $2"; else echo "FAIL $3 -> $2, expected $1"; failures=$((failures + 1)); fi
}
# expect <exit status> <program> <arguments...>
expect() {
  local want=$1 program=$2
  shift 2
  local got=0
  timeout 300 "$wine" "$program" "$@" >/dev/null 2>&1 || got=$?
  report "$want" "$got" "${program#"$build"/} $*"
}
# expect_box <caption> <exit status> <program> <arguments...>: the run shows
# a message box with that caption; Enter takes its default answer.
expect_box() {
  local caption=$1 want=$2 program=$3
  shift 3
  timeout 300 "$wine" "$program" "$@" >/dev/null 2>&1 &
  local pid=$! window="" got=0
  for _ in $(seq 1 240); do
    window=$(xdotool search --name "^$caption\$" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  if [ -n "$window" ]; then
    xdotool windowfocus --sync "$window" key Return
  else
    echo "FAIL no \"$caption\" box shown"
    failures=$((failures + 1))
  fi
  wait "$pid" || got=$?
  report "$want" "$got" "${program#"$build"/} $* (box \"$caption\" answered)"
}

program=$build/8634FWUpgradeTool.exe
# The usage text is a question box, shown also in silent mode.
expect_box Question 0 "$program" /SILENT /?
expect 246 "$program" /SILENT /P3 1234 /P2 5678
# The program built without a named image carries no firmware: -10 before
# anything is touched (tools/wine_checks_ship.sh checks the message and the
# folder, and that a /U run without the driver files ends with -20).
expect 246 "$program" /SILENT /A
shipped=0
WINE=$wine MINGW_CC=$mingw_cc bash "$root/tools/wine_checks_ship.sh" "$build" || shipped=$?
failures=$((failures + shipped))
# /TRACE on a computer without hubs records the walk's calls and Wine's answers.
traced=0
WINE=$wine bash "$root/tools/wine_checks_trace.sh" "$build" || traced=$?
failures=$((failures + traced))

# The run report on Windows: a refused source still gets one, with the
# source's SHA-256 from the system's digest, renamed over an older report.
reports=$prefix/drive_c/reports
mkdir -p "$reports"
printf 'x%.0s' $(seq 1 64) >"$reports/fw.bin"
echo old >"$reports/report.json"
expect 246 "$program" /SILENT /U 'C:\reports\fw.bin' /REPORT 'C:\reports\report.json'
if python3 "$root/tools/report_check/validate.py" "$root/docs/run-report.schema.json" "$reports/report.json" &&
    grep -q "\"sha256\": \"$(sha256sum "$reports/fw.bin" | cut -c1-64)\"" "$reports/report.json" &&
    [ ! -e "$reports/report.json.tmp" ]; then
  echo "ok   run report of a refused source: valid, with the source's SHA-256"
else
  echo "FAIL run report of a refused source:"
  head -c 2000 "$reports/report.json" || true
  failures=$((failures + 1))
fi

# The test build with stand-in driver files, from a program folder of its
# own: the real setup library installs the filter, the walk finds no USB host
# controller with a hub (-4, 252), and the run uninstalls everything again.
# The scan is reached only after start-up found the installed driver file at
# its version 1.0.7.0: without the install the run ends with -20.
drive_c=$prefix/drive_c
class_key='HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
host_state() {
  {
    "$wine" reg query "$class_key" /s 2>&1 || true
    "$wine" reg query 'HKLM\SYSTEM\CurrentControlSet\Services\ZeltFilter' /s 2>&1 || true  # absent before and after
    (cd "$drive_c/windows" && find system32 syswow64 -maxdepth 2 2>/dev/null | sort)
    (cd "$drive_c/windows/temp" && find . | sort)
  } | tr -d '\r' | grep -v '^[[:space:]]*$'
}
# On Windows the USB class key always exists; a new Wine prefix has none yet.
"$wine" reg add "$class_key" /f >/dev/null 2>&1
mkdir -p "$drive_c/HBX"
cp "$build/test-standin/8634FWUpgradeTool.exe" "$drive_c/HBX/"
before=$(host_state)
expect 252 'C:\HBX\8634FWUpgradeTool.exe' /SILENT /A
after=$(host_state)
if [ "$before" == "$after" ]; then
  echo "ok   registry class key, service key, system folders and temporary folder as before the run"
else
  echo "FAIL the run left traces:"
  diff -u <(echo "$before") <(echo "$after") | head -40 || true
  failures=$((failures + 1))
fi
left=$(cd "$drive_c/HBX" && find . -mindepth 1 ! -name 8634FWUpgradeTool.exe)
if [ -z "$left" ]; then echo "ok   program folder holds only the program"; else echo "FAIL program folder holds: $left"; failures=$((failures + 1)); fi

# The dialog window as Windows users see it: the states of real runs on the
# benches of tools/dialog_png (a pass, a failed hub, no hub, and the middle of
# a run), each shown in the real window and taken with PrintWindow, then
# compared with the renderer's picture of the same state (the tolerance and
# its reason are in hbx_screenshot_compare).
shots=$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"
states=()
for shot in pass:end fail:end nohub:end pass:mid; do
  name=dialog_${shot%:*}_${shot#*:}
  if "$linux/tools/dialog_png/hbx_dialog_png" "$root/tools/dialog_png/benches/${shot%:*}.json" "${shot#*:}" \
      "$shots/$name.png" --state "$shots/$name.state" >/dev/null; then
    states+=("Z:$shots/$name.state")
  else
    echo "FAIL no renderer picture of $name"
    failures=$((failures + 1))
  fi
done
if ! timeout 120 "$wine" "$build/dialog_screenshots_win32.exe" "Z:$shots" "${states[@]}" >/dev/null; then
  echo "FAIL the screenshot program"
  failures=$((failures + 1))
fi
for state in "${states[@]}"; do
  name=$(basename "$state" .state)
  "$linux/tools/dialog_png/hbx_screenshot_compare" "$shots/$name.state" "$shots/${name}_wine.bmp" \
    "$shots/${name}_wine" || failures=$((failures + 1))
done

echo "Wine checks took $((SECONDS - start)) s"
[ "$failures" -eq 0 ]

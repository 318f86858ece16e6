#!/usr/bin/env bash
# Runs the Windows build under Wine, in a fresh 32-bit prefix on a virtual
# display of its own:
#   tools/wine_checks.sh <Windows build folder>
# the port contract tests on the Win32 ports, then the program's exits that
# need no USB hub.
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d /tmp/hbx-wine.XXXXXX)
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

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
wineboot -i >/dev/null 2>&1
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

wine "$build/port_contract_tests_win32.exe"

failures=0
report() {  # report <wanted> <got> <what>
  if [ "$2" -eq "$1" ]; then echo "ok   $3 -> $2"; else echo "FAIL $3 -> $2, expected $1"; failures=$((failures + 1)); fi
}
# expect <exit status> <program> <arguments...>
expect() {
  local want=$1 program=$2
  shift 2
  local got=0
  timeout 300 wine "$program" "$@" >/dev/null 2>&1 || got=$?
  report "$want" "$got" "${program#"$build"/} $*"
}
# expect_box <caption> <exit status> <program> <arguments...>: the run shows
# a message box with that caption; Enter takes its default answer.
expect_box() {
  local caption=$1 want=$2 program=$3
  shift 3
  timeout 300 wine "$program" "$@" >/dev/null 2>&1 &
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
# Without the driver files the program cannot install the filter: -20.
expect 236 "$program" /SILENT /A

# The test build with stand-in driver files, from a program folder of its
# own: the real setup library installs the filter, the walk finds no USB host
# controller with a hub (-4, 252), and the run uninstalls everything again.
# The scan is reached only after start-up found the installed driver file at
# its version 1.0.7.0: without the install the run ends with -20.
drive_c=$prefix/drive_c
class_key='HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
host_state() {
  {
    wine reg query "$class_key" /s 2>&1
    wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\ZeltFilter' /s 2>&1
    (cd "$drive_c/windows" && find system32 syswow64 -maxdepth 2 2>/dev/null | sort)
    (cd "$drive_c/windows/temp" && find . | sort)
  } | tr -d '\r' | grep -v '^[[:space:]]*$'
}
# On Windows the USB class key always exists; a new Wine prefix has none yet.
wine reg add "$class_key" /f >/dev/null 2>&1
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

echo "Wine checks took $((SECONDS - start)) s"
[ "$failures" -eq 0 ]

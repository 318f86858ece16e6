#!/usr/bin/env bash
# Checks "/TRACE" of the Windows program under Wine, on a computer without
# USB hubs:
#   tools/wine_checks_trace.sh <Windows build folder>
# The caller has set up WINEPREFIX (a booted prefix of the build's
# architecture) and DISPLAY; WINE names the loader (default "wine"). The
# test build with stand-in driver files (test-standin/) runs "/SILENT /A
# /TRACE <file>" from a program folder of its own: the run ends as without
# the option (no hub: -4, 252), and the trace holds the walk's calls with
# what Wine answered: the format line, the host controllers' device list
# asked for, and the interfaces asked for up to the first one not found
# (the controllers Wine reports, none). Exit status: the number of failed checks.
set -euo pipefail
source "$(dirname "$0")/wine_check_common.sh"

# On Windows the USB class key always exists; a new Wine prefix has none yet.
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}' /f >/dev/null 2>&1
folder=$drive_c/HBXTRACE
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/test-standin/8634FWUpgradeTool.exe" "$folder/"
got=0
(cd "$folder" && timeout 300 "$wine" 'C:\HBXTRACE\8634FWUpgradeTool.exe' /SILENT /A /TRACE 'C:\HBXTRACE\trace.jsonl' \
  >"$folder.out" 2>"$folder.err") || got=$?
if [ "$got" -eq 252 ]; then
  pass "/TRACE of a run without hubs: ends with -4 (252) as without it"
else
  fail "/TRACE of a run without hubs -> $got (expected 252); standard error:"
  head -c 1000 "$folder.err" || true
fi
if python3 - "$folder/trace.jsonl" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()]
assert lines[0] == {"trace": "hbx-port-trace", "version": 1}, lines[0]
calls = lines[1:]
host = "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}"
lists = [c for c in calls if c["call"] == "getClassDevs" and c["in"]["class"] == host]
assert lists, "no device list of the host controllers"
enums = [c for c in calls if c["call"] == "enumDeviceInterface" and c["in"]["class"] == host]
assert enums, "no host controller interface asked for"
# Each walk asks for indexes until one is not found.
assert any(not c["out"]["found"] for c in enums), enums
assert all(set(c) >= {"n", "thread", "us", "call", "in", "out"} for c in calls)
found = sum(1 for c in enums if c["out"]["found"])
print(f"{len(calls)} calls, {len(lists)} host controller lists, {found} controllers found")
PY
then
  pass "the trace holds the walk's calls and Wine's answers"
else
  fail "the trace of the run without hubs:"
  head -c 2000 "$folder/trace.jsonl" || true
fi
rm -rf "$folder" "$folder.out" "$folder.err"
exit "$failures"

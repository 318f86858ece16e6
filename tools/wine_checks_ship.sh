#!/usr/bin/env bash
# Checks under Wine what makes the Windows program safe to ship:
#   tools/wine_checks_ship.sh <Windows build folder>
# The caller has set up WINEPREFIX (a booted prefix of the build's architecture) and DISPLAY; WINE
# names the loader (default "wine"). Checked:
# - the program built without a named firmware image carries none: "/DOS /A"
#   ends with -10 (246), says on standard error that "/U <file>" is needed,
#   and leaves its folder as it was;
# - "/DOS" with standard output redirected to a file writes the console lines
#   there, byte for byte;
# - the uninstall script, where "net session" fails (the Server service off)
#   and the script cannot tell it is elevated, asks for elevation once and
#   then uninstalls, instead of asking again without end.
# Exit status: the number of failed checks.
set -euo pipefail
source "$(dirname "$0")/wine_check_common.sh"

# A program folder of its own, and a firmware file the program takes (the
# made-up image of the test build, generated in the build folder).
ship=$drive_c/HBXSHIP
rm -rf "$ship"
mkdir -p "$ship/fw"
cp "$build/8634FWUpgradeTool.exe" "$ship/"
cp "$build/payload/Config_250318_25_01_0C.bin" "$ship/fw/"

got=0
(cd "$ship" && timeout 300 "$wine" 'C:\HBXSHIP\8634FWUpgradeTool.exe' /DOS /A >"$ship.out" 2>"$ship.err") || got=$?
left=$(cd "$ship" && find . -mindepth 1 ! -name 8634FWUpgradeTool.exe ! -path ./fw ! -path ./fw/Config_250318_25_01_0C.bin)
if [ "$got" -eq 246 ] && grep -qF 'This program carries no firmware: name the firmware file with /U <file>.' "$ship.err" &&
    [ -z "$left" ]; then
  pass "program without a named image: /DOS /A -> 246 with the message, nothing written"
else
  fail "program without a named image: /DOS /A -> $got (expected 246), left: [$left]; standard error:"
  head -c 1000 "$ship.err" || true
fi

# Without the driver files the run ends at start-up (-20) after its banner.
got=0
(cd "$ship" && timeout 300 "$wine" 'C:\HBXSHIP\8634FWUpgradeTool.exe' /DOS /U 'C:\HBXSHIP\fw\Config_250318_25_01_0C.bin' \
  >"$ship.out" 2>"$ship.err") || got=$?
if [ "$got" -eq 236 ] && grep -qaF $'=====ZELT Hub FWUpg Tool(Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0)======\r\n' "$ship.out" &&
    ! grep -qa $'\r\r' "$ship.out"; then
  pass "/DOS with standard output in a file: the console lines are there, byte for byte"
else
  fail "/DOS with standard output in a file -> $got (expected 236); the file holds:"
  od -c "$ship.out" | head -20 || true
fi
rm -rf "$ship" "$ship.out" "$ship.err"

# The uninstall script where "net session" fails and no elevation test
# answers: stand-in programs for "net", "fltmc" and PowerShell in the
# script's folder (the command interpreter looks there first). The
# PowerShell stand-in records each request and runs the script again with
# the arguments it was asked to pass, as an elevation would; it gives up
# after three requests.
check=$drive_c/HBXSCRIPT
rm -rf "$check"
mkdir -p "$check"
cp "$root/payload/DeleteZeltufdriver.bat" "$check/"
cc=${MINGW_CC:-x86_64-w64-mingw32-gcc}
echo 'int main(void) { return 2; }' >"$check/fails.c"
cat >"$check/elevate.c" <<'STUB'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
int main(void) {
  const char* line = GetCommandLineA();
  FILE* calls = fopen("calls.txt", "a+");
  if (!calls) return 3;
  fprintf(calls, "%s\n", line);
  rewind(calls);
  int asked = 0;
  for (int c; (c = fgetc(calls)) != EOF;) asked += c == '\n';
  fclose(calls);
  if (asked >= 3) return 1;
  /* Start-Process -Wait succeeds whatever the elevated copy ends with. */
  system(strstr(line, "/elevated") ? "cmd /c DeleteZeltufdriver.bat /elevated" : "cmd /c DeleteZeltufdriver.bat");
  return 0;
}
STUB
"$cc" -O1 -o "$check/net.exe" "$check/fails.c"
cp "$check/net.exe" "$check/fltmc.exe"
"$cc" -O1 -o "$check/powershell.exe" "$check/elevate.c"
# Its uninstall section leaves a mark in the registry.
printf '%s\r\n' '[Version]' 'Signature="$Windows NT$"' '[DefaultUninstall]' 'AddReg=Mark' \
  '[DefaultUninstall.NTAMD64]' 'AddReg=Mark' '[DefaultUninstall.NT]' 'AddReg=Mark' '[Mark]' \
  'HKLM,"Software\HbxScriptCheck","Uninstalled",0x00010001,1' >"$check/zeltufdriver.inf"
"$wine" reg delete 'HKLM\Software\HbxScriptCheck' /f >/dev/null 2>&1 || true
got=0
(cd "$check" && timeout 120 "$wine" cmd /c DeleteZeltufdriver.bat >/dev/null 2>&1) || got=$?
asked=$(tr -d '\r' <"$check/calls.txt" 2>/dev/null | grep -c . || true)
mark=$("$wine" reg query 'HKLM\Software\HbxScriptCheck' /v Uninstalled 2>/dev/null | tr -d '\r' | grep -c 0x1 || true)
if [ "$got" -ne 124 ] && [ "$asked" -eq 1 ] && grep -q /elevated "$check/calls.txt" && [ "$mark" -eq 1 ]; then
  pass "uninstall script with net session failing: asks for elevation once, then uninstalls"
else
  fail "uninstall script with net session failing: exit $got, asked for elevation $asked times, uninstalled: $mark"
fi
"$wine" reg delete 'HKLM\Software\HbxScriptCheck' /f >/dev/null 2>&1 || true
rm -rf "$check"

exit "$failures"

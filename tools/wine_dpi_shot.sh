#!/usr/bin/env bash
# The dialog window at a screen setting above 96 dpi, under Wine:
#   tools/wine_dpi_shot.sh <Windows build folder> [<Linux build folder>] [<dpi>]
# A fresh prefix of the build's architecture whose LogPixels is <dpi>
# (default 144, Windows' 150 %), the pass state of a run on the simulated host
# shown in the real window (dialog_screenshots_win32.exe, which carries the
# program's manifest), and the picture written as
# <Windows build>/screenshots-dpi<dpi>/dialog_pass_end_wine.bmp for a look.
set -Eeuo pipefail
# A virtual display of its own, large enough for the grown window.
if [ -z "${HBX_DPI_SHOT_ON_DISPLAY:-}" ]; then
  HBX_DPI_SHOT_ON_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
linux=$(cd "${2:-$root/build/release}" && pwd)
dpi=${3:-144}
prefix=$(mktemp -d /tmp/hbx-wine-dpi.XXXXXX)
machine=$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(4096); print(hex(struct.unpack_from("<H", d, struct.unpack_from("<I", d, 60)[0] + 4)[0]))' \
  "$build/8634FWUpgradeTool.exe")
case $machine in
  0x14c) wine=/usr/lib/wine/wine arch=win32 ;;
  *) wine=/usr/lib/wine/wine64 arch=win64 ;;
esac
export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$wine" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
  /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -w

shots=$build/screenshots-dpi$dpi
rm -rf "$shots"
mkdir -p "$shots"
"$linux/tools/dialog_png/hbx_dialog_png" "$root/tools/dialog_png/benches/pass.json" end \
  "$shots/dialog_pass_end.png" --state "$shots/dialog_pass_end.state" >/dev/null
timeout 120 "$wine" "$build/dialog_screenshots_win32.exe" "Z:$shots" "Z:$shots/dialog_pass_end.state" >/dev/null
echo "$shots/dialog_pass_end_wine.bmp"

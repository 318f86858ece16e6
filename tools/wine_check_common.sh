# The start every Wine check script shares (sourced): the project root, the
# Windows build folder ($1), the Wine loader, drive C: of the prefix, and the
# ok/FAIL lines whose count of failures is the script's exit status.
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
wine=${WINE:-wine}
drive_c=$WINEPREFIX/drive_c
failures=0
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Wine: the 64-bit loader everywhere; the 32-bit one (an i386 package) only
# where this machine runs 32-bit programs (tools/i386_probe.py runs one).
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libssl-dev libpng-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix libbenchmark-dev python3 libncurses-dev
          wine wine64 xvfb xdotool clang libclang-rt-dev python3-jsonschema python3-pefile)
runs_i386=0
python3 tools/i386_probe.py && runs_i386=1
[ "$runs_i386" -eq 0 ] || packages+=(wine32)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if [ "$runs_i386" -eq 1 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

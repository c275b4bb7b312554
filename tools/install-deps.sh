#!/usr/bin/env bash
# Installs the cross toolchain, 32-bit Wine, Xvfb and the PE inspector on
# Debian 12 when any of them is missing. Safe to rerun: it does nothing when
# everything is already there.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v i686-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-i686)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v xvfb-run >/dev/null || need+=(xvfb xauth)
command -v xdotool >/dev/null || true
/usr/bin/python3 -c 'import pefile' 2>/dev/null || need+=(python3-pefile)
command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] || need+=(wine wine32:i386)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine wine32:i386)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what building, testing and releasing need on Debian 12, the
# whole list whichever command runs it, when any of it is missing: the i686
# MinGW cross toolchain, CMake and Ninja, GoogleTest, clang with libFuzzer,
# 32-bit Wine and its fonts, Xvfb and xdotool, the PE inspector and the
# release's signing tools (docs/building.md lists them, and the docs check
# fails when it leaves one out). Does nothing when all is there, so it is
# safe to rerun.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
have cmake || need+=(cmake)
have ninja || need+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -f /usr/lib/x86_64-linux-gnu/libgtest.a ] || need+=(libgtest-dev)
have clang++ || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
have xvfb-run || need+=(xvfb xauth)
have xdotool || need+=(xdotool)  # real X key events, as a person's keyboard
/usr/bin/python3 -c 'import pefile' 2>/dev/null || need+=(python3-pefile)
have osslsigncode || need+=(osslsigncode)
have openssl || need+=(openssl)
dpkg -s wine32:i386 >/dev/null 2>&1 && have wine || need+=(wine wine32:i386)
# Wine's own fonts: build/wine-run copies their Marlett, with which Wine draws
# the title bar's buttons, into its prefix (without it they show letters).
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
# The locales whose code pages Wine takes from them: 1252, 1250, 1251,
# 932 (double-byte) and UTF-8 (65001), for the tests and for trying the
# editor by hand.
locales=(en_US.UTF-8 pl_PL.UTF-8 ru_RU.UTF-8 ja_JP.UTF-8 hi_IN.UTF-8)
have locale-gen || need+=(locales)
# Where Wine must run in the emulated guest: what builds and starts it.
if "$(dirname "$0")/needs-guest"; then
  have debootstrap || need+=(debootstrap)
  have qemu-system-x86_64 || need+=(qemu-system-x86)
  have mkfs.ext4 || need+=(e2fsprogs)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
generate_locales() {
  local missing=()
  for l in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing+=("$l")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Generating locales: ${missing[*]}"
  for l in "${missing[@]}"; do
    grep -qx "$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
}

if [ ${#need[@]} -eq 0 ]; then
  generate_locales
  exit 0
fi
echo "Installing: ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
generate_locales

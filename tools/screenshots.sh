#!/usr/bin/env bash
# Pictures for the documentation, taken under a virtual display: the stand-in
# editor with its Plug-ins menu open, the save dialog, and the box that
# refuses an editor too old. The editor pictures its own screen (BMP); they
# are written to docs/ as PNG.
#   tools/screenshots.sh [BUILD_DIR]   (default: build, the default preset)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --take ]; then  # under Wine, with a display: BUILD DIST OUT FONTS
  build=$2 dist=$3 out=$4 fonts=$5
  win() { printf 'Z:%s' "$1" | tr / '\\'; }
  W=$(win "$out")
  # build/wine-run gives the prefix Wine's Marlett, with which the title bar's
  # buttons are drawn; the test guest has no fonts-wine, so there it takes
  # this machine's copy.
  [ -f /usr/share/wine/fonts/marlett.ttf ] || export HISTORY_WINE_FONTS=$fonts
  editor() { "$build/wine-run" "$build/stand_in_editor.exe" "$@" "$dist/Pellor.dll" "$dist/Dravik.dll"; }
  "$build/wine-run" --start
  prefix=${HISTORY_WINEPREFIX:-$build/wineprefix}
  if [ ! -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ]; then
    echo "error: no Marlett font in the Wine prefix: the title bar's buttons would show letters"
    "$build/wine-run" --stop
    exit 1
  fi
  # The history is saved in a folder of the Wine prefix, so the pictures
  # show a path of no machine in particular; saved once first, so that the
  # dialog opens there with a history file in it.
  rm -rf "$prefix/drive_c/SQL"
  mkdir -p "$prefix/drive_c/SQL"
  editor --script "run SELECT name, city\\r\\n  FROM customers\\r\\n WHERE city = 'Bergen'\\;; save C:\\SQL\\history.ini; snap-menu $W\\menu.bmp; snap-save $W\\save-dialog.bmp; quit"
  editor --host-version 1.51.21 --snap-box "$W\\refusal.bmp" --script quit
  "$build/wine-run" --stop
  exit 0
fi

build=${1:-build}
./tools/install-deps.sh
if [ "$build" = build ]; then
  cmake --preset default -DBUILD_TESTING=ON >/dev/null
elif [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -B "$build" -DBUILD_TESTING=ON >/dev/null
fi
cmake --build "$build" --target Pellor Dravik stand_in_editor
build=$(cd "$build" && pwd)
dist=$(sed -n 's/^PLUGIN_OUTPUT_DIR:PATH=//p' "$build/CMakeCache.txt")
out="$build/screenshots" fonts="$build/screenshot-fonts"
rm -rf "$out" "$fonts"
mkdir -p "$out/png" "$fonts" docs
cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true

./tools/win32-runtime.sh "xvfb-run -a -s '-screen 0 1024x768x24' tools/screenshots.sh --take '$build' '$dist' '$out' '$fonts'" |
  tee "$out/transcript.txt" || true
# Each picture was checked as it was taken (a window without its title bar
# is refused); docs/ changes only when every one was taken.
failed=0
if LC_ALL=C grep -aE '^(error|autopilot failed)' "$out/transcript.txt" >&2; then
  failed=1
fi
for name in menu save-dialog refusal; do
  if [ -f "$out/$name.bmp" ]; then
    /usr/bin/python3 tools/bmp_to_png.py "$out/$name.bmp" "$out/png/$name.png" || failed=1
  else
    echo "no picture: $name" >&2
    failed=1
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "docs/ left as it was: not every picture was taken" >&2
  exit 1
fi
mv "$out"/png/*.png docs/
echo "docs/: menu.png, save-dialog.png and refusal.png replaced"

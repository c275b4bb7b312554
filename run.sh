#!/usr/bin/env bash
# Builds both plug-in libraries into dist/, shows what they carry, and runs
# the stand-in editor with both: for a person when there is a display and
# this kernel runs 32-bit programs; otherwise a scripted save-and-load round
# trip under a virtual display (in the emulated guest where it must).
#   ./run.sh [--host-version X.Y.Z]
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default --target Pellor Dravik stand_in_editor

echo
echo "== Built"
/usr/bin/python3 tools/describe.py dist/Pellor.dll dist/Dravik.dll
echo

args=""
[ $# -gt 0 ] && args=$(printf ' %q' "$@")
if [ -n "${DISPLAY:-}" ] && ! ./tools/needs-guest; then
  ./build/wine-run --start
  exec ./build/wine-run build/stand_in_editor.exe "$@" dist/Pellor.dll dist/Dravik.dll
fi
[ -n "${DISPLAY:-}" ] && echo "Wine runs in the emulated guest here, so the editor cannot open on this display: running the scripted round trip instead." >&2
exec ./tools/win32-runtime.sh "xvfb-run -a tools/round-trip.sh build dist$args"

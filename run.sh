#!/usr/bin/env bash
# Builds both plug-in libraries into dist/, shows what they carry, and loads
# each into a minimal editor under Wine.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default --target Pellor Dravik smoke_host

echo
echo "== Built"
/usr/bin/python3 tools/describe.py dist/Pellor.dll dist/Dravik.dll

echo
echo "== Smoke run under Wine"
./build/wine-run --start && rc=0 || rc=$?
if [ "$rc" -eq 0 ]; then
  ./build/wine-run build/tests/smoke_host.exe "$PWD/dist/Pellor.dll" "$PWD/dist/Dravik.dll" || rc=$?
  ./build/wine-run --stop || true
fi
[ "$rc" -eq 77 ] && exit 0
exit "$rc"

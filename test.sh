#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh

# The stand-in editor's history file, built for this machine (and fuzzed).
CXX=clang++ cmake -S tests/native -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/native
ctest --test-dir build/native --output-on-failure

cmake --preset default -DBUILD_TESTING=ON
cmake --build --preset default
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "WARNING: this kernel cannot run 32-bit programs (32-bit emulation is" >&2
  echo "off), so Wine cannot load the libraries: the tests that run them will" >&2
  echo "be reported as skipped. Only the file checks can run here." >&2
fi
# A virtual display, for the tests that open real windows.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a ctest --preset default
fi
exec ctest --preset default

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Fails
# unless every test ran and passed: a skipped test is no pass.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh

# Where the Wine tests run in the emulated guest (this kernel runs no 32-bit
# programs, or HISTORY_FORCE_GUEST=1), its image is built meanwhile: once per
# machine, for every clone (see tools/vm).
image=""
if ./tools/needs-guest; then
  mkdir -p build
  ./tools/vm/build-image.sh "$(./tools/vm/image-dir)" >build/vm-image.log 2>&1 &
  image=$!
fi

# The stand-in editor's history file, built for this machine (and fuzzed).
CXX=clang++ cmake -S tests/native -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/native
/usr/bin/python3 tools/ctest-strict.py --test-dir build/native --output-on-failure

cmake --preset default -DBUILD_TESTING=ON
cmake --build --preset default
# What needs no Windows runtime runs here; the rest under Wine, with a
# virtual display for the tests that open real windows.
/usr/bin/python3 tools/ctest-strict.py --preset default --label-exclude wine
if [ -n "$image" ] && ! wait "$image"; then
  cat build/vm-image.log >&2
  echo "Building the emulated guest failed (log above)." >&2
  exit 1
fi
exec ./tools/win32-runtime.sh "xvfb-run -a python3 tools/ctest-strict.py --preset default --label-regex wine -j\$(nproc)"

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
# Under Wine, with a virtual display for the tests that open real windows.
exec ./tools/win32-runtime.sh "xvfb-run -a ctest --preset default"

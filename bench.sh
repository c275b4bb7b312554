#!/usr/bin/env bash
# Measures what each plug-in library costs the editor that loads it, beside
# the floor (an empty library with the same four exports) and the
# conventional build of the same source, all in one run under Wine, and
# prints the table the README shows. Exits 1 when a goal is not met.
#   ./bench.sh            BENCH_ROUNDS=N changes the number of rounds (300)
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
rounds=${BENCH_ROUNDS:-300}
calls=100         # commands timed together, per library and round
memory_rounds=2   # fresh processes per library; the figures barely move

./tools/install-deps.sh
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default --target bench

libraries="$root/dist/Pellor.dll $root/dist/Dravik.dll $root/build/bench/Floor.dll"
libraries+=" $root/build/bench/ConventionalPellor.dll $root/build/bench/ConventionalDravik.dll"
samples="$root/build/bench/samples.txt"
./tools/win32-runtime.sh "sh bench/collect.sh '$root/build' '$samples' $rounds $calls $memory_rounds $libraries"
echo
exec /usr/bin/python3 bench/report.py "$samples" dist build/bench

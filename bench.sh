#!/usr/bin/env bash
# Measures what each plug-in library costs the editor that loads it, beside
# the floor (an empty library with the same four exports) and the
# conventional build of the same source, all in one run under Wine, and
# prints the table docs/measurements.md shows. Exits 1 when a goal is not met.
#   ./bench.sh            BENCH_ROUNDS=N changes the number of rounds
#                         (300; from 1 to 2000, the host's fixed tables)
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
rounds=${BENCH_ROUNDS:-300}
calls=1000        # commands timed together, per library and round
memory_rounds=2   # fresh processes per library; the figures barely move
case $rounds in
  '' | *[!0-9]*) rounds=0 ;;
esac
if [ "$rounds" -lt 1 ] || [ "$rounds" -gt 2000 ]; then
  echo "BENCH_ROUNDS must be a whole number from 1 to 2000 (got '${BENCH_ROUNDS:-}')" >&2
  exit 2
fi

./tools/install-deps.sh
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default --target bench

# The command is run by a shell of its own: every path in it is quoted.
command="sh bench/collect.sh '$root/build' '$root/build/bench/samples.txt' $rounds $calls $memory_rounds"
for library in dist/Pellor.dll dist/Dravik.dll build/bench/Floor.dll \
               build/bench/ConventionalPellor.dll build/bench/ConventionalDravik.dll; do
  command+=" '$root/$library'"
done
./tools/win32-runtime.sh "$command"
echo
exec /usr/bin/python3 bench/report.py build/bench/samples.txt dist build/bench

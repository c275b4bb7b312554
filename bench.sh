#!/usr/bin/env bash
# Measures what each plug-in library costs the editor that loads it, beside
# the floor (an empty library with the same four exports) and the
# conventional build of the same source, all in one run under Wine, and
# prints the table the README shows. Exits 1 when a goal is not met.
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

# The command below is run by a shell of its own: every path is quoted.
quote() { printf "'%s' " "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
command="sh bench/collect.sh"
for arg in "$root/build" "$root/build/bench/samples.txt" "$rounds" "$calls" \
           "$memory_rounds" "$root/dist/Pellor.dll" "$root/dist/Dravik.dll" \
           "$root/build/bench/Floor.dll" "$root/build/bench/ConventionalPellor.dll" \
           "$root/build/bench/ConventionalDravik.dll"; do
  command+=" $(quote "$arg")"
done
./tools/win32-runtime.sh "$command"
echo
exec /usr/bin/python3 bench/report.py build/bench/samples.txt dist build/bench

#!/bin/sh
# Collects the benchmark's raw samples where 32-bit Windows programs run
# (natively, or inside the test guest): the machine, then one process that
# interleaves load-install-unload and command rounds over all libraries,
# then one fresh process per library and round for the private memory,
# each round starting one library further along.
#   collect.sh BUILD_DIR OUT ROUNDS CALLS MEMORY_ROUNDS LIBRARY...
set -eu
build=$1 out=$2 rounds=$3 calls=$4 memory_rounds=$5
shift 5
host="$build/bench/bench_host.exe"
partial="$out.partial"
rm -f "$out" "$partial"

{
  echo "machine guest ${HISTORY_GUEST:-0}"
  echo "machine cpu $(sed -n 's/^model name[^:]*: *//p' /proc/cpuinfo | head -n1)"
  echo "machine cores $(nproc)"
  echo "machine wine $(wine --version)"
} >"$partial"

"$build/wine-run" --start
trap '"$build/wine-run" --stop' EXIT
# Wine's own start-up, once, outside every sample.
"$build/wine-run" "$host" memory "$1" >/dev/null

run() {
  if ! "$build/wine-run" "$host" "$@" >>"$partial"; then
    grep '^error' "$partial" >&2 || echo "bench_host $* failed" >&2
    exit 1
  fi
}

echo "Timing $rounds rounds over $# libraries" >&2
run cycles "$rounds" "$calls" "$@"
echo "Private memory: $memory_rounds rounds of $# processes" >&2
i=0
while [ "$i" -lt "$memory_rounds" ]; do
  for library in "$@"; do run memory "$library"; done
  first=$1
  shift
  set -- "$@" "$first"
  i=$((i + 1))
done
mv "$partial" "$out"

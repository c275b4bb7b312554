#!/usr/bin/env bash
# Builds everything, runs the reliability checks (hostile hosts, long runs,
# paths through the real dialog, the history store, a bounded fuzz run of
# its reader, the shipped files' hardening) and prints what was tried and
# measured as the Markdown table docs/measurements.md shows.
#   tools/reliability.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh >&2
{
  CXX=clang++ cmake -S tests/native -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build build/native
  cmake --preset default -DBUILD_TESTING=ON
  cmake --build --preset default
} >&2

out=build/reliability
rm -rf "$out"
mkdir -p "$out"

# The history file's reader under the fuzzer, natively.
build/native/history_file_fuzz -max_total_time=20 -max_len=4096 \
  -artifact_prefix="$out/" "$out" tests/native/corpus >"$out/fuzz.log" 2>&1 &&
  fuzz="no crash, no leak, no undefined behaviour" || fuzz="FAILED"
runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$out/fuzz.log")
echo "report: history file | reader fuzzed 20 s (libFuzzer, ASan, UBSan) | ${runs:-0} inputs | $fuzz" >"$out/host.txt"

/usr/bin/python3 tests/artifact_test.py >"$out/artifact.log" 2>&1 &&
  pe="all hold" || pe="FAILED"
checks=$(sed -n 's/^Ran \([0-9]*\) tests.*/\1/p' "$out/artifact.log")
echo "report: shipped files | DYNAMIC_BASE with relocations, NX, no W+X or shared writable section, no TLS callbacks, NO_SEH, exact imports, size | ${checks} checks | $pe" >>"$out/host.txt"

# The rest under Wine, with a display for the real dialogs.
cat >"$out/guest.sh" <<GUEST
build/wine-run --start
build/wine-run build/tests/plugin_tests.exe '--gtest_filter=*HostileHost*:*LongRun*:*RealDialog*' "$PWD/dist" >$out/plugin.log 2>&1
build/wine-run build/tests/store/history_store_tests.exe >$out/store.log 2>&1
build/wine-run --stop
GUEST
./tools/win32-runtime.sh "xvfb-run -a sh $out/guest.sh" >&2 || true

echo "| Area | What was tried | Cases | Measured |"
echo "|---|---|--:|---|"
cat "$out/host.txt" "$out/plugin.log" "$out/store.log" 2>/dev/null |
  sed -n 's/^report: //p' | tr -d '\r' |
  awk -F ' [|] ' '
    { key = $1 " | " $2
      if (!(key in cases)) order[n++] = key
      cases[key] += $3
      if (!(key in result)) result[key] = $4
      else if (index(result[key], $4) == 0) result[key] = result[key] "; " $4 }
    END { for (i = 0; i < n; i++) printf "| %s | %d | %s |\n", order[i], cases[order[i]], result[order[i]] }'
failed=$(cat "$out"/*.log "$out/host.txt" | grep -c 'FAILED' || true)
# A suite that did not run to its end reports nothing, which is no pass.
for log in plugin store; do
  grep -q '^\[  PASSED  \]' "$out/$log.log" 2>/dev/null || failed=$((failed + 1))
done
echo
echo "Measured $(date -u +%Y-%m-%d) on $(uname -m), $(nproc) cores$( [ -n "${HISTORY_GUEST:-}" ] || "$(dirname "$0")/needs-guest" && echo ', Wine in the emulated guest'); failures: $failed."
[ "$failed" -eq 0 ]

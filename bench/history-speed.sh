#!/usr/bin/env bash
# How fast the stand-in editor saves its history and loads and shows one, for
# 1,000, 10,000 and 100,000 entries, under Wine with a virtual display
# (in the emulated guest where the kernel needs it). The editor times its
# own services (--timings): from the plug-in's call until the file is
# written, and until the loaded history is in the window and drawn; the file
# dialog's own time is not counted. Prints the table docs/measurements.md
# shows and exits 1 when a goal is not met, a save or load failed, or the
# editor did not end with 0.
#   bench/history-speed.sh [ROUNDS]   (3 by default; the median is shown)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes="1000 10000 100000"

if [ "${1:-}" = --take ]; then  # under Wine, with a display: BUILD DIST OUT ROUNDS
  build=$2 dist=$3 out=$4 rounds=$5
  W=$(printf 'Z:%s' "$out" | tr / '\\')
  script=""
  for round in $(seq "$rounds"); do
    for n in $sizes; do
      # "yes": from the second round on the file is there to be replaced.
      script="$script clear; fill $n; save $W\\h$n.ini yes; clear; load $W\\h$n.ini;"
    done
  done
  "$build/wine-run" --start
  status=0
  "$build/wine-run" "$build/stand_in_editor.exe" --timings --script "$script quit" \
    "$dist/Pellor.dll" "$dist/Dravik.dll" >"$out/transcript.txt" 2>&1 || status=$?
  echo "editor exit status: $status" >>"$out/transcript.txt"
  "$build/wine-run" --stop
  for n in $sizes; do
    echo "file: $n entries, $(stat -c %s "$out/h$n.ini" 2>/dev/null || echo 0) bytes" >>"$out/transcript.txt"
  done
  where="Wine running natively"
  [ -n "${HISTORY_GUEST:-}" ] && where="in the emulated guest (qemu software emulation)"
  echo "machine: $(uname -m), $(nproc) cores, $(wine --version), $where" >>"$out/transcript.txt"
  exit "$status"
fi

rounds=${1:-3}
./tools/install-deps.sh
cmake --preset default -DBUILD_TESTING=ON >/dev/null
cmake --build --preset default --target Pellor Dravik stand_in_editor
build=$PWD/build
dist=$(sed -n 's/^PLUGIN_OUTPUT_DIR:PATH=//p' "$build/CMakeCache.txt")
out=$build/history-speed
rm -rf "$out"
mkdir -p "$out"
./tools/win32-runtime.sh "xvfb-run -a bench/history-speed.sh --take '$build' '$dist' '$out' $rounds" ||
  echo "the editor's run failed (status $?)"
exec /usr/bin/python3 bench/history_speed.py "$out/transcript.txt" $sizes

#!/bin/sh
# The main job's demonstration: the stand-in editor saves its history
# through Pellor, a fresh editor loads it back through Dravik, and the two
# histories are compared entry by entry.
#   round-trip.sh BUILD_DIR DIST_DIR [--host-version X.Y.Z]
set -u
build=$(cd "$1" && pwd) dist=$(cd "$2" && pwd)
shift 2
work="$build/round-trip"
mkdir -p "$work"
file="$work/history.ini"
W=$(printf 'Z:%s' "$file" | tr / '\\')
rm -f "$file"
run() { "$build/wine-run" "$build/stand_in_editor.exe" "$@" "$dist/Pellor.dll" "$dist/Dravik.dll"; }

"$build/wine-run" --start || exit $?
echo "== Editor 1: save the history"
run "$@" --script "show; save $W; quit" | tee "$work/save.log"
if grep -q '^installed .*: refused' "$work/save.log"; then
  "$build/wine-run" --stop
  exit 0
fi
echo
echo "== The history file"
cat "$file" 2>/dev/null || echo "(not written)"
echo
echo "== Editor 2: start empty, load the file"
run "$@" --script "clear; load $W; show; quit" | tee "$work/load.log"
"$build/wine-run" --stop
grep '^entry ' "$work/save.log" >"$work/saved"
grep '^entry ' "$work/load.log" >"$work/loaded"
echo
if [ -s "$work/saved" ] && cmp -s "$work/saved" "$work/loaded"; then
  echo "Restored history is identical: yes ($(wc -l <"$work/saved") entries)"
else
  echo "Restored history is identical: NO"
  exit 1
fi

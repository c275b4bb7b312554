#!/bin/sh
# The main job's demonstration: the stand-in editor saves its history
# through Pellor, a fresh editor loads it back through Dravik, and the two
# histories are compared entry by entry, byte for byte. An editor older
# than the libraries need is refused by both, and that is then the result.
#   round-trip.sh BUILD_DIR DIST_DIR [--host-version X.Y.Z]
set -u
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd) dist=$(cd "$2" && pwd)
shift 2
work="$build/round-trip"
mkdir -p "$work"
file="$work/history.ini"
W=$(printf 'Z:%s' "$file" | tr / '\\')
rm -f "$file" "$work/save.log" "$work/load.log" "$work/wine.log"
transcript() { python3 "$here/transcript.py" "$@"; }
# The platform's own messages go to a log of their own, shown on failure.
run() {
  "$build/wine-run" "$build/stand_in_editor.exe" "$@" \
    "$dist/Pellor.dll" "$dist/Dravik.dll" 2>>"$work/wine.log"
}
fail() {
  echo "$1"
  if [ -s "$work/wine.log" ]; then echo "== What Wine said"; cat "$work/wine.log"; fi
  "$build/wine-run" --stop
  exit 1
}

"$build/wine-run" --start || exit $?
echo "== Editor 1: save the history"
# A fresh history of statements run as a person would type them: one of
# several lines, one with a ";" and quotes inside, one with bytes above 127.
status=0
run "$@" --script "clear; run SELECT id, name FROM customers WHERE city = 'Oslo'\\;; run SELECT o.id, SUM(l.amount)\\r\\n  FROM orders o\\r\\n  JOIN lines l ON l.order_id = o.id\\r\\n GROUP BY o.id\\;; run UPDATE settings SET value = 'a=b\\; [c]' WHERE key = \"mode\"\\;; run INSERT INTO notes(text) VALUES ('caf\\xE9 cr\\xE8me')\\;; show; save $W; quit" >"$work/save.log" || status=$?
transcript show "$work/save.log"
# How the editor ended counts: a crash after its last line is no pass.
[ "$status" -eq 0 ] || fail "Editor 1 ended with status $status, not 0: NO round trip."
transcript installs "$work/save.log"
case $? in
  0) ;;
  3) "$build/wine-run" --stop; exit 0 ;;  # refused, as it had to be
  *) fail "No round trip." ;;
esac
echo
echo "== The history file"
if [ -f "$file" ]; then transcript show "$file" "$work/save.log"; else echo "(not written)"; fi
echo
echo "== Editor 2: start empty, load the file"
run "$@" --script "clear; load $W; show; quit" >"$work/load.log" || status=$?
transcript show "$work/load.log"
[ "$status" -eq 0 ] || fail "Editor 2 ended with status $status, not 0: NO round trip."
echo
transcript history "$work/save.log" "$work/load.log" "$file" || fail "Restored history is identical: NO"
"$build/wine-run" --stop

# A person at the keyboard and mouse, from outside the program: real X
# events (xdotool) reach the stand-in editor under the test's display the
# way a person's keyboard does. Sourced by the scripts that play one, with
# their arguments: WINE_RUN EDITOR_EXE DIST_DIR WORK_DIR. Each works in a
# folder of its own below WORK_DIR, empty at the start.
set -u
# Transcripts hold the editor's ANSI bytes: matched as bytes.
export LC_ALL=C
wine_run=$1 editor=$2 dist=$3
mkdir -p "$4"
work=$(cd "$4" && pwd)/$(basename "$0" .sh)
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }
command -v xdotool >/dev/null || { echo "xdotool is missing (tools/install-deps.sh installs it)"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no display: run under xvfb-run"; exit 1; }

# The person's keyboard layout holds the letters the cases type beyond
# ASCII; Wine learns it when the editor starts, so it comes first.
typing="$(dirname "$0")/typing.py"
python3 -X utf8 "$typing" --hold "ŁłÓóŹź" >"$work/keyboard" 2>&1 &
keyboard=$!
tries=0
until grep -q ready "$work/keyboard"; do
  tries=$((tries + 1))
  [ "$tries" -le 150 ] && kill -0 "$keyboard" 2>/dev/null || { cat "$work/keyboard"; echo "the keyboard's layout was not set"; exit 1; }
  sleep 0.2
done
type_text() { python3 -X utf8 "$typing" "$1"; }

# Waits up to $1 seconds for the rest of the line to succeed. The bounds
# are generous, since an emulated CPU is several times slower, but a wait
# ends at once when the editor has ended, and once one wait has run out,
# the rest wait at most 5 s: a hung editor fails well within the test's
# own limit.
waited_out=0
within() {
  bound=$1
  [ "$waited_out" -eq 0 ] || [ "$bound" -le 5 ] || bound=5
  end=$(($(date +%s) + bound))
  shift
  until "$@"; do
    if [ "$(date +%s)" -ge "$end" ] || ! alive; then
      "$@" && return 0  # what it waited for came with the end
      waited_out=1
      return 1
    fi
    sleep 0.2
  done
}
said() { grep -aqF -- "$1" "$log"; }
said_times() { [ "$(grep -acF -- "$2" "$log")" -eq "$1" ]; }
windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
count_windows() { [ "$(windows "$1" | wc -l)" -eq "$2" ]; }
alive() { kill -0 "$pid" 2>/dev/null; }
ended() { ! alive; }
focus() { timeout 30 xdotool windowfocus --sync "$1"; }
# Starts the editor with both libraries and waits for its window, in front.
# Arguments go to the editor; the environment (a locale) may come first.
start_editor() {
  env "$@" "$wine_run" "$editor" "$dist/Pellor.dll" "$dist/Dravik.dll" >"$log" 2>&1 &
  pid=$!
  within 120 count_windows "Stand-in SQL editor" 1 || { fail "the editor's window never appeared"; finish; }
  main=$(windows "Stand-in SQL editor")
  focus "$main"
}
# Presses a key in the window called $1 once it is there.
press_in() {
  within 60 count_windows "$1" 1 || { fail "no window \"$1\""; return 1; }
  focus "$(windows "$1")" && xdotool key "$2"
}
closes_with_0() {  # the editor ends, with 0; else fails with $1
  if within 60 ended; then
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || fail "the editor ended with status $status, not 0"
  else
    fail "$1"
  fi
}
finish() {
  alive && kill "$pid"
  kill "$keyboard"
  for f in "$work"/*.log; do echo "--- $f"; cat "$f"; done
  name=$(basename "$0" .sh)
  [ "$failures" -eq 0 ] && echo "PASS $name" || echo "FAIL $name ($failures)"
  [ "$failures" -eq 0 ]
  exit
}

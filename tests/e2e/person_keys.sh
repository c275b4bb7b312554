#!/bin/sh
# A person at the keyboard and mouse, from outside the program: real X
# events (xdotool) reach the stand-in editor under the test's virtual
# display the way a person's keyboard does. Esc in the statement box must
# leave the editor and its history alone; Shift+F10 opens the history's
# menu at a row in view; Load history with the history changed asks before
# its dialog; Ctrl+Z in the box takes a recall back; Alt+F4 asks, with the
# history changed or a statement not run, and the editor stays until the
# question is answered; a statement the code page cannot hold is refused.
#   person_keys.sh WINE_RUN EDITOR_EXE DIST_DIR WORK_DIR
. "$(dirname "$0")/person.sh"
log=$work/editor.log
# Presses a key in the question (the second window with the editor's title).
answer() {
  focus "$(windows "Stand-in SQL editor" | grep -vxF "$main" | head -n1)"
  xdotool key "$1"
}

python3 - "$work/long.ini" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    f.write(b"[History]\r\nCount=100000\r\n")
    f.writelines(b'Entry%d="SELECT %d FROM t;"\r\n' % (i, i) for i in range(1, 100001))
PY
long=$(printf 'Z:%s' "$work/long.ini" | tr / '\\')

start_editor LC_ALL=C.UTF-8

# A long history, loaded through the Load dialog as a person does.
xdotool key alt+p l
within 60 count_windows "Select File for load from" 1 || { fail "no Load dialog"; finish; }
focus "$(windows "Select File for load from")"
xdotool type --delay 10 "$long"
xdotool key Return
within 120 said "status: Loaded 100000 history entries" || fail "the long history was not loaded"

# Row 1 selected, then scrolled far out of view with the wheel: Shift+F10
# opens the menu beside a row that can be seen, inside the list.
focus "$main"
xdotool key alt+i Home
eval "$(xdotool getwindowgeometry --shell "$main")"
top=$((Y + HEIGHT / 2)) bottom=$((Y + HEIGHT))
before=$(xdotool search --onlyvisible --name '' 2>/dev/null | sort)
new_window() {
  menu=$(xdotool search --onlyvisible --name '' 2>/dev/null | sort | grep -vxF "$before" | head -n1)
  [ -n "$menu" ]
}
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 3 / 4)) click --repeat 30 --delay 20 5
xdotool key shift+F10
if ! within 30 new_window; then
  fail "Shift+F10 opened no menu"
else
  menu_y=$(xdotool getwindowgeometry --shell "$menu" | sed -n 's/^Y=//p')
  [ "$menu_y" -ge "$top" ] && [ "$menu_y" -le "$bottom" ] ||
    fail "Shift+F10's menu opened at y=$menu_y, outside the history list ($top to $bottom)"
fi
xdotool key Escape
within 30 eval '! new_window' || fail "Esc left the menu open"

# Changes: row 1 deleted, a statement typed and run.
xdotool key Delete
within 30 said "status: Deleted history entry 1; 99999 entries left" || fail "Del deleted nothing"
xdotool key alt+s
xdotool type --delay 20 "SELECT 42;"
xdotool key ctrl+Return
within 30 said "it is history entry 100000" || fail "the statement did not run"

# Esc in the statement box: nothing closes and nothing is asked. F5 after
# it, refused since the history is full, shows when the Esc was handled.
xdotool key Escape F5
within 30 said "status: Not run, the statement stays in its box: the history would hold 100001" ||
  fail "F5 after Esc was not handled"
alive || { fail "Esc in the statement box ended the editor"; finish; }
count_windows "Stand-in SQL editor" 1 || fail "Esc in the statement box brought up a window"
said "Not closed" && fail "Esc in the statement box tried to close the editor"

# Load history over the changed history: the question comes before the
# dialog, and Cancel leaves everything as it was.
xdotool key alt+p l
within 45 count_windows "Stand-in SQL editor" 2 || fail "Load history asked nothing first"
count_windows "Select File for load from" 0 || fail "the Load dialog opened before the question was answered"
answer Escape
within 30 said "Not loaded: the history is still here" || fail "Cancel did not keep the history"
count_windows "Select File for load from" 0 || fail "the Load dialog opened after Cancel"

# A statement typed, then entry 1 recalled over it: the editor asks first;
# OK recalls, Ctrl+Z in the box brings the typed one back, and F5 runs it
# (a row deleted first makes room).
focus "$main"
xdotool key alt+i Home Delete
within 30 said_times 2 "status: Deleted history entry 1; 99999 entries left" || fail "Del deleted nothing"
xdotool key alt+s
xdotool type --delay 20 "SELECT 7;"
xdotool key alt+i Return
within 45 count_windows "Stand-in SQL editor" 2 || fail "a recall over the typed statement asked nothing"
answer Return
within 30 said "is back in the statement box" || fail "OK did not recall the entry"
xdotool key ctrl+z F5
within 30 said_times 2 "it is history entry 100000" || fail "F5 ran nothing after Ctrl+Z"

# Alt+F4: the question comes, and the editor stays until it is answered;
# Yes saves (to see what F5 ran) and closes.
xdotool key alt+F4
within 45 count_windows "Stand-in SQL editor" 2 || { fail "Alt+F4 asked nothing"; finish; }
alive || { fail "the editor ended before the question was answered"; finish; }
answer y
within 60 count_windows "Select File for export to" 1 || { fail "Yes opened no Save dialog"; finish; }
focus "$(windows "Select File for export to")"
xdotool type --delay 10 "$(printf 'Z:%s' "$work/closed.ini" | tr / '\\')"
xdotool key Return
closes_with_0 "Yes and a saved history did not close the editor"
tail -n 1 "$work/closed.ini" | tr -d '\r' | grep -aqxF 'Entry100000="SELECT 7;"' ||
  fail "the last entry saved is not the statement typed before the recall"

# A new editor: SELECT 'Łódź'; is refused and stays in its box, so Alt+F4
# asks, though the history is as it started; Cancel keeps the editor, OK
# closes it.
log=$work/second.log
start_editor LC_ALL=C.UTF-8
type_text "SELECT 'Łódź';"
xdotool key F5
within 30 said "status: Not run, the statement stays in its box" || fail "SELECT 'Łódź'; was not refused"
said "status: Ran" && fail "a statement the code page cannot hold was run"
xdotool key alt+F4
within 45 count_windows "Stand-in SQL editor" 2 || { fail "Alt+F4 over an unrun statement asked nothing"; finish; }
answer Escape
within 30 count_windows "Stand-in SQL editor" 1 || fail "Cancel left the question up"
alive || { fail "Cancel closed the editor"; finish; }
xdotool key alt+F4
within 45 count_windows "Stand-in SQL editor" 2 || { fail "the second Alt+F4 asked nothing"; finish; }
answer Return
closes_with_0 "OK did not close the editor"

# Keys that close a scripted editor end its run at once, with no error: in
# not much longer than a run that ends with quit takes on this machine.
log=$work/keys_close.log
scripted() {
  start=$(date +%s)
  timeout 120 "$wine_run" "$editor" --script "run SELECT 1\\;; $1" \
    "$dist/Pellor.dll" "$dist/Dravik.dll" >"$log" 2>&1
  status=$?
  took=$(($(date +%s) - start))
}
scripted quit
bound=$((2 * took + 5))
scripted "answer close no; keys alt+f4"
[ "$status" -eq 0 ] || fail "alt+f4 by script: status $status, not 0"
[ "$took" -le "$bound" ] || fail "alt+f4 by script took $took s, a run with quit $(((bound - 5) / 2)) s"
said "editor closed" || fail "alt+f4 by script: the editor did not close"
said "error:" && fail "alt+f4 by script printed an error line"
finish

#!/bin/sh
# End-to-end cases: the stand-in editor with both shipped libraries, the
# platform's real dialogs answered by its autopilot, no fakes.
#   editor_case.sh CASE WINE_RUN EDITOR_EXE DIST_DIR WORK_DIR
set -u
# Transcripts hold the editor's ANSI bytes: matched as bytes, never as text
# that a UTF-8 locale would call binary and skip.
export LC_ALL=C
case_name=$1 wine_run=$2 editor=$3 dist=$4 work=$5/$1
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
rm -rf "$work"  # every case starts with no files of its own
mkdir -p "$work"
win() { printf 'Z:%s' "$1" | tr / '\\'; }  # a Unix path as Wine sees it
W=$(win "$work")
log="$work/$case_name.log"
failures=0

editor() {  # editor [--host-version V] SCRIPT: a run that must end with 0,
  # within $limit seconds (a run that never ends is stopped, and fails),
  # under $locale if set, whose code page Wine takes
  timeout "${limit:-120}" env ${locale:+LC_ALL=$locale LANG=$locale} "$wine_run" "$editor" "$@" "$dist/Pellor.dll" "$dist/Dravik.dll" >"$log" 2>&1
  status=$?
  [ $status -eq 77 ] && { cat "$log"; exit 77; }  # no 32-bit runtime here
  echo "--- transcript ($case_name)"; cat "$log"
  # A crash after the last line of the transcript is a failure too.
  [ $status -eq 0 ] || { echo "FAILED: the editor ended with status $status, not 0"; failures=$((failures + 1)); }
}
expect() {  # the transcript holds this line
  grep -aqxF -- "$1" "$log" || { printf 'MISSING: %s\n' "$1"; failures=$((failures + 1)); }
}
expect_re() {  # some transcript line matches this extended expression
  grep -aqE -- "$1" "$log" || { printf 'MISSING: /%s/\n' "$1"; failures=$((failures + 1)); }
}
refuse() {  # the transcript holds no line containing this
  ! grep -aqF -- "$1" "$log" || { printf 'UNEXPECTED: %s\n' "$1"; failures=$((failures + 1)); }
}
shown() {  # shown N: the lines the Nth "show" step printed
  awk -v n="$1" '/^step: /{ k += ($0 == "step: show"); on = ($0 == "step: show" && k == n); next }
                 on && /^(entry |row |statement box: )/' "$log"
}
same() {  # same WHAT EXPECTED ACTUAL: the two texts are equal, byte for byte
  [ "$2" = "$3" ] || { printf 'DIFFERS: %s\nexpected:\n%s\nactual:\n%s\n' "$1" "$2" "$3"; failures=$((failures + 1)); }
}
results() {  # what OnCall returned, in order, on one line: all it said
  sed -n 's/^OnCall -> //p' "$log" | tr '\n' ' ' | sed 's/ $//'
}
no_errors() {  # no step, key press or dialog went wrong
  refuse "error:"
  refuse "autopilot failed"
  expect "step: quit"
}

case "$case_name" in
  save_adds_ini_extension)
    rm -f "$work/bare.ini"
    editor --script "save $W\\bare; quit"
    expect "service: ExportHistory(\"$W\\bare.ini\")"
    same "results handed back to the plug-in" "1" "$(results)"
    expect "status: Saved 5 history entries to $W\\bare.ini"
    # The file is the history, under the name with ".ini" and no other.
    [ "$(grep -ac '^Entry[1-5]="' "$work/bare.ini" 2>/dev/null)" -eq 5 ] && [ ! -e "$work/bare" ] ||
      { echo "MISSING: bare.ini with the 5 entries, and no file bare"; failures=$((failures + 1)); }
    no_errors
    ;;
  overwrite_no_then_cancel_keeps_file)
    # Replies in the order given: a "no" first cancels, whatever follows;
    # and two replies are two replies, never part of the name typed. The
    # history differs from the file's each time, so a file replaced after
    # "no", or kept after "yes", shows in its bytes.
    editor --script "save $W\\keep.ini; run SELECT 'kept out'\\;; save $W\\keep.ini no yes; quit"
    same "results handed back to the plug-in" "1 0" "$(results)"
    same "what was saved" "service: ExportHistory(\"$W\\keep.ini\")" "$(grep -a '^service: ' "$log")"
    same "replace questions" 1 "$(grep -ac '^dialog asked: ' "$log")"
    cp "$work/keep.ini" "$work/keep.before"
    # The same history as at the first save, saved afresh: what keep.ini
    # must still hold; then one more statement, and "yes" replaces it.
    editor --script "save $W\\start.ini; run SELECT 'replaced'\\;; save $W\\keep.ini yes yes; quit"
    same "results handed back to the plug-in" "1 1" "$(results)"
    same "replace questions" 1 "$(grep -ac '^dialog asked: ' "$log")"
    cmp "$work/start.ini" "$work/keep.before" ||
      { echo "keep.ini was replaced after \"no\""; failures=$((failures + 1)); }
    { sed 's/^Count=5\r$/Count=6\r/' "$work/start.ini"; printf 'Entry6="SELECT '\''replaced'\'';"\r\n'; } |
      cmp - "$work/keep.ini" || { echo "keep.ini is not the history with the statement added"; failures=$((failures + 1)); }
    no_errors
    ;;
  dialog_shows_title_filters_and_last_path)
    editor --script "save $W\\first.ini; save-all-files $W\\second.ini; cancel save; cancel load; quit"
    expect "dialog: \"Select File for export to\", name \"\", filter \"INI files (*.ini)\", filters [INI files (*.ini) | All Files (*.*)]"
    # The dialog opens in the folder of the last path, with its name.
    expect_re '^dialog: "Select File for export to", name "([^"]*\\)?first\.ini", filter "INI files \(\*\.ini\)"'
    expect_re '^dialog: "Select File for export to", name "([^"]*\\)?second\.ini", filter "INI files \(\*\.ini\)"'
    expect "dialog: \"Select File for load from\", name \"\", filter \"INI files (*.ini)\", filters [INI files (*.ini) | All Files (*.*)]"
    # Two saves, the second through "All Files"; both cancelled dialogs give 0.
    same "results handed back to the plug-ins" "1 1 0 0" "$(results)"
    [ -f "$work/first.ini" ] && [ -f "$work/second.ini" ] ||
      { echo "MISSING: first.ini and second.ini"; failures=$((failures + 1)); }
    refuse "autopilot failed"
    ;;
  too_old_editor_is_refused)
    editor --host-version 1.51.21 --script "save $W\\never.ini; quit"
    expect "message box: caption \"Save History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "message box: caption \"Load History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect_re '^installed .*[\\/]Pellor\.dll: refused$'
    expect_re '^installed .*[\\/]Dravik\.dll: refused$'
    expect "error: no plug-in offers \"Save history\""
    refuse "command:"
    [ ! -e "$work/never.ini" ] || { echo "never.ini written"; failures=$((failures + 1)); }
    ;;
  long_history_is_refused_before_save_would_refuse)
    # What the history holds always saves and loads back: a statement, a
    # fill or a load past the file's limits is refused with the reason,
    # and the statement stays in its box.
    # The mouse finds the row under it past 65,536 rows as well, and a
    # right click on the scroll bar leaves the row selected as it is.
    editor --script "fill 99995; run SELECT 1\\;; fill 1; fill 999999999; save $W\\full.ini; keys right-click:70000 esc; keys right-click-bar:50000 d; run SELECT 1\\;; quit"
    expect "status: Added 99995 generated statements"
    expect "status: Not run, the statement stays in its box: the history would hold 100001 entries, and a history file takes at most 100000; delete or clear history entries first"
    expect "status: Not filled: the history would hold 100001 entries, and a history file takes at most 100000"
    expect "status: Not filled: the history would hold 1000099999 entries, and a history file takes at most 100000"
    expect "status: Saved 100000 history entries to $W\\full.ini"
    expect "status: Deleted history entry 70000; 99999 entries left"
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 100000"
    # Bytes: a file read with line feeds alone that the writer's CRLF would
    # take past 4 MiB, and a statement that would take a full file past it.
    python3 - "$work/lf.ini" "$work/near.ini" "$work/exact.ini" <<'PY'
import sys
def write(path, n, size, end):
    with open(path, "wb") as f:
        f.write(b"[History]" + end + b"Count=%d" % n + end)
        for i in range(1, n + 1):
            f.write(b'Entry%d="%s"' % (i, b"x" * size) + end)
write(sys.argv[1], 100000, 28, b"\n")    # 4,188,918 bytes; 4,288,920 with CRLF
write(sys.argv[2], 91357, 31, b"\r\n")  # 4,191,340 bytes: 2,964 to spare
with open(sys.argv[2], "rb") as f:       # exactly 4 MiB: the last entry longer
    near = f.read()
with open(sys.argv[3], "wb") as f:
    f.write(near[:-3] + b"x" * 2964 + near[-3:])
PY
    # Of two statements of 1,500 bytes the second no longer fits: each one's
    # bytes count. A file of exactly 4 MiB loads.
    s1500="SELECT '$(printf '%01490d' 0)'\\;"
    editor --script "load $W\\lf.ini; load $W\\near.ini; run $s1500; run $s1500; answer question no; load $W\\exact.ini; quit"
    expect_re '^status: History not loaded, kept as it was: its file would take [0-9]+ bytes, and a history file takes at most 4194304$'
    expect "status: Loaded 91357 history entries from $W\\near.ini"
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 91358"
    expect "status: Not run, the statement stays in its box: its file would take 4194370 bytes, and a history file takes at most 4194304; delete or clear history entries first"
    expect "status: Loaded 91357 history entries from $W\\exact.ini"
    no_errors
    # A fill of exactly the limit is made whole.
    editor --script "clear; fill 100000; delete 100000; quit"
    expect "status: Deleted history entry 100000; 99999 entries left"
    ;;
  recall_runs_back_exactly_what_was_stored*)
    # Every byte a history file can hold, line breaks of every shape among
    # them, comes back into the statement box and runs again unchanged; a
    # NUL, which no statement can hold, is refused when the file is read.
    python3 - "$work/bytes.ini" "$work/zero.ini" <<'PY'
import sys
def escaped(data):
    return b"".join(b"\\x%02X" % b if b < 0x20 or b in b'"\\\x7f' else bytes([b]) for b in data)
entries = [b"a\rb\nc\r\r\nd\r\n", bytes(range(1, 128)), bytes(range(128, 256)), b"tab\t end "]
with open(sys.argv[1], "wb") as f:
    f.write(b"[History]\r\nCount=4\r\n")
    f.writelines(b'Entry%d="%s"\r\n' % (i, escaped(e)) for i, e in enumerate(entries, 1))
with open(sys.argv[2], "wb") as f:
    f.write(b'[History]\r\nCount=1\r\nEntry1="a\\x00b"\r\n')
PY
    # Under every code page, a single-byte, a double-byte and UTF-8, each a
    # case of its own (.cpN, 1252 without): a letter the code page holds,
    # typed, is stored as its bytes (a line break between two shows as a
    # pilcrow in its row, a long entry's row is cut between two
    # characters), and one it cannot hold is refused, named.
    cp=1252; case $case_name in *.cp*) cp=${case_name##*.cp} ;; esac
    # CODE_PAGE LOCALE HELD REFUSED
    set -- $(printf '%s\n' "1252 C.UTF-8 00E9 0141" "1250 pl_PL.UTF-8 0141 0416" \
      "1251 ru_RU.UTF-8 0416 0141" "932 ja_JP.UTF-8 65E5 0141" "65001 hi_IN.UTF-8 0416 D800" | grep "^$cp ")
    python3 - "$@" "$work/typed" <<'PY'
import sys
cp, _, held, refused, out = sys.argv[1:]
codec = "utf-8" if cp == "65001" else "cp" + cp
letter = chr(int(held, 16))
b = letter.encode(codec)
long = b"x" + b * 400
shown = 1 + (399 // len(b)) * len(b)
with open(out + ".run", "w") as f:
    f.write("".join("\\x%02X" % c for c in long))
with open(out + ".expected", "wb") as f:
    f.write(b'entry 9: "%s\\r\\n%s"\n' % (b, b))
    f.write(('row 9 (UTF-8): "%s \u00b6 %s"\n' % (letter, letter)).encode())
    f.write(b'entry 10: "%s"\n' % long)
    f.write(('row 10 (UTF-8): "%s ..."\n' % long[:shown].decode(codec)).encode())
    f.write(b'statement box: "?"\n')
PY
    nul=""  # a NUL is refused as the file is read, whatever the code page
    [ "$cp" = 1252 ] && nul="answer question no; load $W\\zero.ini; "
    locale=$2 editor --script "clear; load $W\\bytes.ini; recall 1; keys f5; recall 2; keys f5; recall 3; keys f5; recall 4; keys f5; keys U+$3 enter U+$3 f5; run $(cat "$work/typed.run"); keys U+$4 f5; ${nul}show; quit"
    expect "editor version 1.51.22, ANSI code page $1"
    expect "status: Loaded 4 history entries from $W\\bytes.ini"
    [ -z "$nul" ] || expect_re '^status: History not loaded, kept as it was: .*entry 1'
    stored=$(shown 1 | grep -a '^entry [1-4]:' | cut -d: -f2-)
    again=$(shown 1 | grep -a '^entry [5-8]:' | cut -d: -f2-)
    same "entries, four of them run again, two typed" 10 "$(shown 1 | grep -ac '^entry ')"
    same "entries run again from the statement box" "$stored" "$again"
    same "typed entries, their rows, the box" "$(cat "$work/typed.expected")" \
      "$(shown 1 | grep -aE '^(entry|row) (9|10)\b|^statement box: ')"
    expect "status: Not run, the statement stays in its box: it holds a character that the ANSI code page $1 cannot hold (U+$4); nothing was added to the history"
    no_errors
    ;;
  session_end_that_cannot_wait_keeps_the_work)
    # Windows ends the session without waiting, or while the question is
    # up: the unsaved history and the statement not run are kept, each time
    # in a folder of their own, and offered back at the next start.
    prefix=${HISTORY_WINEPREFIX:-$(sed -n 's/^export WINEPREFIX="${HISTORY_WINEPREFIX:-\(.*\)}"$/\1/p' "$wine_run")}
    kept_in() { find "$prefix/drive_c/users" -path "*/Stand-in SQL editor/Recovered work${1:+/$1}" 2>/dev/null; }
    rm -rf "$(kept_in)"
    kept_re='kept in C:\\users\\[^\\]+\\AppData\\Local\\Stand-in SQL editor\\Recovered work'
    editor --script "run SELECT 1\\;; type DRAFT; keys space U+0141; log-off-now"
    expect_re "^status: The session ended without waiting: what was not saved is $kept_re\\\\1, to be offered back"
    expect "editor closed"
    refuse "question:"
    refuse "error:"
    same "the statement kept, as UTF-16" "fffe4400520041004600540020004101" "$(od -An -tx1 "$(kept_in 1)/statement.txt" | tr -d ' \n')"
    same "the history kept, its last entry" 'Entry6="SELECT 1;"' "$(tail -n1 "$(kept_in 1)/history.ini" | tr -d '\r')"
    editor --script "kept cancel; type DRAFT2; log-off-anyway"
    expect "the session ends while the question is up"
    expect_re "^status: The session ended without waiting: .*\\\\2, to be offered back"
    refuse "error:"
    offer='question: "The last session ended without waiting, and the editor kept'
    editor --script "kept cancel; show; quit"
    expect "$offer the history, 6 entries, not saved, and a statement not run.\\n\\nOK brings it back; Cancel keeps it for the next start.\", answered cancel"
    same "entries kept aside" 5 "$(shown 1 | grep -ac '^entry ')"
    editor --script "kept ok; show; close cancel; quit"
    expect 'statement box: "DRAFT ?"'
    same "entries brought back" 6 "$(shown 1 | grep -ac '^entry ')"
    expect_re '^question: "Save the history before closing.*answered cancel$'
    editor --script "kept ok; show; quit"
    expect "$offer a statement not run.\\n\\nOK brings it back; Cancel keeps it for the next start.\", answered ok"
    expect 'statement box: "DRAFT2"'
    editor --script "show; quit"
    refuse "question:"
    same "folders still kept" "" "$(kept_in '[0-9]*')"
    no_errors
    ;;
  keys_left_open_are_closed_and_reported)
    # Keys that open a menu and leave it open would hold the editor for
    # ever: 20 seconds later it is closed and the step says so.
    # A step's word is matched whole: "runaway" runs nothing.
    editor --script "keys alt+h; run SELECT 1\\;; runaway; quit"
    expect 'error: keys "alt+h": the keys were not all handled in time: what they opened was closed'
    expect 'error: unknown step "runaway"'
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 6"
    ;;
  editor_is_windowed_and_prints_through_a_pipe)
    # No console window for a person; a shell still reads the transcript.
    /usr/bin/python3 -c 'import pefile, sys; s = pefile.PE(sys.argv[1], fast_load=True).OPTIONAL_HEADER.Subsystem; print("subsystem", s); sys.exit(s != 2)' "$editor" ||
      { echo "the editor is not built for the windows subsystem"; failures=$((failures + 1)); }
    { "$wine_run" "$editor" --script quit "$dist/Pellor.dll" "$dist/Dravik.dll" 2>&1
      echo $? >"$work/status"; } | cat >"$log"
    cat "$log"
    [ "$(cat "$work/status")" -eq 0 ] || { echo "FAILED: the editor ended with status $(cat "$work/status"), not 0"; failures=$((failures + 1)); }
    expect_re '^editor version 1\.51\.22, ANSI code page [0-9]+$'
    expect "step: quit"
    ;;
  snap_box_without_script_is_refused)
    # Without a script nothing would dismiss the box: refused at once.
    timeout 120 "$wine_run" "$editor" --snap-box "$W\\box.bmp" "$dist/Pellor.dll" "$dist/Dravik.dll" >"$log" 2>&1
    rc=$?
    [ $rc -eq 77 ] && { cat "$log"; exit 77; }
    cat "$log"
    [ $rc -eq 2 ] || { echo "exit status $rc, not 2"; failures=$((failures + 1)); }
    expect "--snap-box pictures a plug-in's message box only in a scripted run: add --script (e.g. --script quit)"
    ;;
  service_throw_and_bare_window_fail_cleanly)
    # A service that throws (as when memory runs out) fails in the status
    # line and returns 0 to the plug-in, and the editor goes on; a window
    # whose title bar is not drawn is not pictured.
    editor --script "throw-in ExportHistory; save $W\\thrown.ini; throw-in ImportHistory; load $W\\thrown.ini; show; run SELECT 1\\;; throw-in draw; run SELECT 2\\;; throw-in step; run SELECT 3\\;; log-off-while-busy; save $W\\during.ini; delete 1; log-off-while-busy; close cancel; throw-in close; log-off no; throw-in autopilot; save $W\\ticked.ini; snap-menu $W\\framed.bmp; hide-title-bar; snap-menu $W\\bare.bmp; quit"
    expect "status: History not saved: not enough memory"
    expect "status: History not loaded: not enough memory"
    same "results handed back to the plug-ins" "0 0 1 1" "$(grep -a '^OnCall -> ' "$log" | cut -d' ' -f3 | tr '\n' ' ' | sed 's/ $//')"
    same "entries after the throws" 5 "$(shown 1 | grep -ac '^entry ')"
    [ ! -e "$work/thrown.ini" ] || { echo "thrown.ini written"; failures=$((failures + 1)); }
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 6"
    # Drawing a row that throws ends in the window, which says so and goes on.
    expect "status: The history could not be drawn: not enough memory"
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 7"
    # So does a scripted step, and the script goes on.
    expect "error: the step failed: not enough memory"
    refuse "history entry 8"
    # Windows ending the session while a plug-in's dialog or the close
    # question is up: refused, with no second question and no second
    # "Save history" started inside the first.
    same "log-offs refused while busy" 2 "$(grep -acxF 'log-off while busy: the editor refused to end' "$log")"
    expect "status: Not closed: a plug-in's command is still running"
    refuse "dialog asked:"
    expect "service: ExportHistory(\"$W\\during.ini\")"
    same "questions asked" 1 "$(grep -ac '^question: ' "$log")"
    # Deciding whether to end the session fails: the session does not end.
    expect "status: Not closed: not enough memory"
    # The autopilot's timer throws inside the plug-in's dialog: it says so,
    # and the dialog is still answered.
    expect "autopilot failed: its timer threw"
    expect "service: ExportHistory(\"$W\\ticked.ini\")"
    expect "snapshot: \"$W\\framed.bmp\""
    expect_re '^error: no picture of the menu: the picture shows no title bar'
    [ -f "$work/framed.bmp" ] && [ ! -e "$work/bare.bmp" ] ||
      { echo "framed.bmp missing or bare.bmp written"; failures=$((failures + 1)); }
    expect "step: quit"
    ;;
  run_sh_round_trip)
    # ./run.sh as the front page writes it, without a display, after the
    # build: it describes both libraries and runs the scripted round trip,
    # which must end well and say the history came back; its arguments reach
    # the editor, so one too old is refused by both. The round trip starts
    # and stops a wineserver of its own prefix, never the one this test run
    # shares; where this kernel runs no 32-bit programs, ./run.sh goes into
    # the emulated guest itself, so this case runs outside it.
    root=$(cd "$tools/.." && pwd -P)
    [ "$(cd "$(dirname "$wine_run")" && pwd -P)" = "$root/build" ] ||
      { echo "./run.sh builds in $root/build, not in $(dirname "$wine_run"): not this build"; exit 1; }
    run_sh() {
      env -u DISPLAY HISTORY_WINEPREFIX="$(dirname "$work")/run.sh wineprefix" \
        "$root/run.sh" "$@" >"$log" 2>&1
      rc=$?
      echo "--- ./run.sh $*"; cat "$log"
      [ $rc -eq 0 ] || { echo "FAILED: ./run.sh exited $rc"; failures=$((failures + 1)); }
    }
    run_sh
    expect "== Built"
    for dll in Pellor Dravik; do expect_re "^$dll\.dll: [0-9]+ bytes\$"; done
    same "libraries with their four exports" 2 "$(grep -acxF '  exports  DllMain @1, OnCall @2, OnExit @3, OnInstall @4' "$log")"
    expect "  imports  COMDLG32.DLL: GetSaveFileNameW"
    expect "  imports  COMDLG32.DLL: GetOpenFileNameW"
    same "libraries with a version" 2 "$(grep -acE '^  version  [0-9]+, [0-9]+, [0-9]+, [0-9]+  ' "$log")"
    expect "Every library accepted editor 1.51.22."
    expect "Restored history is identical: yes (4 entries)"
    run_sh --host-version 1.51.21
    expect "message box: caption \"Save History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "message box: caption \"Load History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "Every library refused editor 1.51.21, as it must (older than 1.51.22): nothing to save or load."
    refuse "Restored history"
    ;;
  *) echo "unknown case $case_name"; exit 2 ;;
esac
[ "$failures" -eq 0 ] && echo "PASS $case_name" || echo "FAIL $case_name ($failures)"
[ "$failures" -eq 0 ]

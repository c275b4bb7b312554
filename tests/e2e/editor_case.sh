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

editor() {  # editor [--host-version V] SCRIPT
  "$wine_run" "$editor" "$@" "$dist/Pellor.dll" "$dist/Dravik.dll" >"$log" 2>&1
  [ $? -eq 77 ] && { cat "$log"; exit 77; }  # no 32-bit runtime here
  echo "--- transcript ($case_name)"; cat "$log"
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
                 on && /^(entry |statement box: )/' "$log"
}
same() {  # same WHAT EXPECTED ACTUAL: the two texts are equal, byte for byte
  [ "$2" = "$3" ] || { printf 'DIFFERS: %s\nexpected:\n%s\nactual:\n%s\n' "$1" "$2" "$3"; failures=$((failures + 1)); }
}
no_errors() {  # no step, key press or dialog went wrong
  refuse "error:"
  refuse "autopilot failed"
  expect "step: quit"
}
e9=$(printf '\351')  # a byte above 127: "e" with an acute accent in ANSI

case "$case_name" in
  save_adds_ini_extension)
    rm -f "$work/bare.ini"
    editor --script "save $W\\bare; quit"
    expect "service: ExportHistory(\"$W\\bare.ini\")"
    expect "OnCall -> 1"
    [ -f "$work/bare.ini" ] || { echo "MISSING: file bare.ini"; failures=$((failures + 1)); }
    ;;
  load_adds_ini_extension)
    editor --script "save $W\\again.ini; load $W\\again; quit"
    expect "service: ImportHistory(\"$W\\again.ini\")"
    ;;
  overwrite_no_then_cancel_keeps_file)
    editor --script "save $W\\keep.ini; quit"
    cp "$work/keep.ini" "$work/keep.before"
    editor --script "save $W\\keep.ini no; quit"
    expect "OnCall -> 0"
    refuse "service: ExportHistory"
    grep -aq '^dialog asked: ' "$log" || { echo "MISSING: replace question"; failures=$((failures + 1)); }
    cmp "$work/keep.ini" "$work/keep.before" || failures=$((failures + 1))
    ;;
  load_missing_file_keeps_history)
    rm -f "$work/missing.ini"
    editor --script "show; load $W\\missing.ini; show; quit"
    grep -aqF "service: ImportHistory(\"$W\\missing" "$log" ||
      { echo "MISSING: ImportHistory of the missing file"; failures=$((failures + 1)); }
    expect "OnCall -> 0"
    grep -aq '^status: History not loaded, kept as it was' "$log" || failures=$((failures + 1))
    [ "$(grep -ac '^entry ' "$log")" -eq 10 ] || { echo "history changed"; failures=$((failures + 1)); }
    ;;
  dialog_shows_title_filters_and_last_path)
    editor --script "save $W\\first.ini; save-all-files $W\\second.ini; cancel save; cancel load; quit"
    expect "dialog: \"Select File for export to\", name \"\", filter \"INI files (*.ini)\", filters [INI files (*.ini) | All Files (*.*)]"
    # The dialog opens in the folder of the last path, with its name.
    expect_re '^dialog: "Select File for export to", name "([^"]*\\)?first\.ini", filter "INI files \(\*\.ini\)"'
    expect_re '^dialog: "Select File for export to", name "([^"]*\\)?second\.ini", filter "INI files \(\*\.ini\)"'
    expect "dialog: \"Select File for load from\", name \"\", filter \"INI files (*.ini)\", filters [INI files (*.ini) | All Files (*.*)]"
    refuse "autopilot failed"
    ;;
  too_old_editor_is_refused)
    editor --host-version 1.51.21 --script "save $W\\never.ini; quit"
    expect "message box: caption \"Save History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "message box: caption \"Load History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "error: no plug-in offers \"Save history\""
    refuse "command:"
    ;;
  round_trip_restores_history)
    editor --script "save $W\\round.ini; show; quit"
    cp "$log" "$work/round.saved"
    editor --script "clear; load $W\\round.ini; show; quit"
    expect "OnCall -> 1"
    python3 "$tools/transcript.py" history "$work/round.saved" "$log" "$work/round.ini" ||
      failures=$((failures + 1))
    ;;
  run_save_clear_load_delete_round_trip)
    # Blank statements are not added; two statements, one of several lines
    # and one with a byte above 127, survive save, clear and load exactly;
    # with one deleted, the file replaced (after confirming) holds one fewer.
    editor --script "clear; run; run \\x20\\r\\n\\t; show; run SELECT 1\\;; run SELECT a,\\r\\n       b\\r\\n  FROM t -- caf\\xE9\\;; show; save $W\\two.ini; clear; show; load $W\\two.ini; show; delete 1; delete 7; save $W\\two.ini yes; quit"
    [ "$(grep -ac '^status: Nothing to run: the statement box is empty' "$log")" -eq 2 ] ||
      { echo "MISSING: two blank statements refused"; failures=$((failures + 1)); }
    same "history after the blank runs" 'statement box: " \r\n\t"' "$(shown 1)"
    second="SELECT a,\\r\\n       b\\r\\n  FROM t -- caf$e9;"
    ran=$(printf '%s\n' 'entry 1: "SELECT 1;"' "entry 2: \"$second\"" "statement box: \"$second\"")
    same "history after two runs" "$ran" "$(shown 2)"
    expect "status: Saved 2 history entries to $W\\two.ini"
    same "history after clear" "statement box: \"$second\"" "$(shown 3)"
    same "history after load" "$ran" "$(shown 4)"
    expect "status: Deleted history entry 1; 1 entry left"
    expect "status: There is no history entry 7 (entries 1 to 1)"
    grep -aq '^dialog asked: ' "$log" || { echo "MISSING: replace question"; failures=$((failures + 1)); }
    expect "status: Saved 1 history entry to $W\\two.ini"
    printf '[History]\r\nCount=1\r\nEntry1="SELECT a,\\r\\n       b\\r\\n  FROM t -- caf\351;"\r\n' |
      cmp - "$work/two.ini" || { echo "two.ini is not the history less entry 1"; failures=$((failures + 1)); }
    no_errors
    ;;
  person_types_runs_saves_clears_and_loads_by_keyboard)
    # Only keys, as a person presses them: the History menu clears, typing
    # and Ctrl+Enter or F5 run, the Plug-ins menu saves and loads (its real
    # dialogs answered by the autopilot), Tab and the labels' Alt+S and
    # Alt+I move between the controls, Del deletes, Enter recalls, and
    # Shift+F10 opens the list's context menu.
    editor --script "keys alt+h c; type SELECT 1\\;; keys ctrl+enter; type SELECT 'caf\\xE9'\\r\\n  FROM dual\\;; keys f5; show; answer save $W\\person.ini; keys alt+p s; keys alt+h c; show; answer load $W\\person.ini; keys alt+p l; show; keys tab tab home del; keys alt+s alt+i enter; show; keys alt+i shift+f10 c; quit"
    expect "status: History cleared: 5 entries removed"
    second="SELECT 'caf$e9'\\r\\n  FROM dual;"
    typed=$(printf '%s\n' 'entry 1: "SELECT 1;"' "entry 2: \"$second\"" "statement box: \"$second\"")
    same "history typed and run" "$typed" "$(shown 1)"
    expect "service: ExportHistory(\"$W\\person.ini\")"
    expect "status: History cleared: 2 entries removed"
    same "history cleared" "statement box: \"$second\"" "$(shown 2)"
    expect "service: ImportHistory(\"$W\\person.ini\")"
    same "history loaded" "$typed" "$(shown 3)"
    expect "status: Deleted history entry 1; 1 entry left"
    same "first deleted, second recalled" "$(printf '%s\n' "entry 1: \"$second\"" "statement box: \"$second\"")" "$(shown 4)"
    expect "status: History cleared: 1 entry removed"  # from the context menu
    no_errors
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
    editor --script "throw-in ExportHistory; save $W\\thrown.ini; throw-in ImportHistory; load $W\\thrown.ini; show; run SELECT 1\\;; snap-menu $W\\framed.bmp; hide-title-bar; snap-menu $W\\bare.bmp; quit"
    expect "status: History not saved: not enough memory"
    expect "status: History not loaded: not enough memory"
    same "results handed back to the plug-ins" "0 0" "$(grep -a '^OnCall -> ' "$log" | cut -d' ' -f3 | tr '\n' ' ' | sed 's/ $//')"
    [ "$(shown 1 | grep -ac '^entry ')" -eq 5 ] || { echo "history changed"; failures=$((failures + 1)); }
    [ ! -e "$work/thrown.ini" ] || { echo "thrown.ini written"; failures=$((failures + 1)); }
    expect "status: Ran the statement (no database here, nothing executed); it is history entry 6"
    expect "snapshot: \"$W\\framed.bmp\""
    expect_re '^error: no picture of the menu: the picture shows no title bar'
    [ -f "$work/framed.bmp" ] && [ ! -e "$work/bare.bmp" ] ||
      { echo "framed.bmp missing or bare.bmp written"; failures=$((failures + 1)); }
    expect "step: quit"
    ;;
  run_sh_round_trip)
    # What ./run.sh runs without a display, as it runs it: the round trip
    # must end well and say the history came back; with an editor too old,
    # both refusals are the result.
    round_trip() {
      "$tools/round-trip.sh" "$(dirname "$wine_run")" "$dist" "$@" >"$log" 2>&1
      rc=$?
      [ $rc -eq 77 ] && { cat "$log"; exit 77; }
      echo "--- round-trip.sh $*"; cat "$log"
      [ $rc -eq 0 ] || { echo "round-trip.sh exited $rc"; failures=$((failures + 1)); }
    }
    round_trip
    expect_re '^Restored history is identical: yes '
    round_trip --host-version 1.51.21
    expect "message box: caption \"Load History plig-in\", text \"Incompatible Norrix SQL editor version. Required 1.51.22 or higher\", no owner"
    expect "Every library refused editor 1.51.21, as it must (older than 1.51.22): nothing to save or load."
    "$wine_run" --start  # round-trip.sh stopped the run's wineserver; the cases after want one
    ;;
  *) echo "unknown case $case_name"; exit 2 ;;
esac
[ "$failures" -eq 0 ] && echo "PASS $case_name" || echo "FAIL $case_name ($failures)"
[ "$failures" -eq 0 ]

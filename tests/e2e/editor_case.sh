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
  grep -aqxF -- "$1" "$log" || { echo "MISSING: $1"; failures=$((failures + 1)); }
}
expect_re() {  # some transcript line matches this extended expression
  grep -aqE -- "$1" "$log" || { echo "MISSING: /$1/"; failures=$((failures + 1)); }
}
refuse() {  # the transcript holds no line containing this
  ! grep -aqF -- "$1" "$log" || { echo "UNEXPECTED: $1"; failures=$((failures + 1)); }
}

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
  *) echo "unknown case $case_name"; exit 2 ;;
esac
[ "$failures" -eq 0 ] && echo "PASS $case_name" || echo "FAIL $case_name ($failures)"
[ "$failures" -eq 0 ]

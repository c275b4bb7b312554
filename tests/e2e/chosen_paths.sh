#!/bin/sh
# The file a person chooses is the file the editor gets, whatever letters
# its path holds, typed with real X keys into the libraries' real dialogs.
# With ANSI code page 1252, a name it cannot hold brings the libraries'
# box and the dialog again, and no look-alike file is written; a file in a
# folder it cannot hold loads from that very file. Code page 1250 holds Ł:
# the name is handed on as it is.
#   chosen_paths.sh WINE_RUN EDITOR_EXE DIST_DIR WORK_DIR
. "$(dirname "$0")/person.sh"
mkdir -p "$work/probe/Łódź"
probe=$(printf 'Z:%s' "$work/probe" | tr / '\\')
printf '[History]\r\nCount=2\r\nEntry1="SELECT 1;"\r\nEntry2="SELECT '\''picked'\'';"\r\n' >"$work/probe/Łódź/h.ini"
cp "$work/probe/Łódź/h.ini" "$work/probe/Lodz.ini"  # the look-alike of Łódź
# Types into the dialog called $1, in front once it is there, and presses
# Enter.
type_in() {
  within 60 count_windows "$1" 1 || { fail "no dialog \"$1\""; return 1; }
  focus "$(windows "$1")" && type_text "$2" && xdotool key Return
}
files() { (cd "$work/probe" && LC_ALL=C ls -1); }

log=$work/cp1252.log
start_editor LC_ALL=C.UTF-8
said "ANSI code page 1252" || fail "the editor does not run with code page 1252"
xdotool key alt+p s
type_in "Select File for export to" "$probe\\Łodź"
within 60 count_windows "Save History plig-in" 1 || fail "no box said why Łodź.ini cannot be written"
press_in "Save History plig-in" Return
press_in "Select File for export to" Escape  # the dialog again, cancelled
within 60 said "OnCall -> 0" || fail "Save history did not end with 0 after Cancel"
said "service:" && fail "a service was called with a path the person did not choose"
[ "$(files)" = "$(printf 'Lodz.ini\nŁódź')" ] || fail "files in the folder: $(files | tr '\n' ' ')"

# Load history, into the folder 1252 cannot hold, then its file.
focus "$main"
xdotool key alt+p l
type_in "Select File for load from" "$probe\\Łódź"
type_in "Select File for load from" "h"
within 60 said "status: Loaded 2 history entries" || fail "the file in Łódź was not loaded"
said "service: ImportHistory(\"$probe\\Lodz.ini\")" && fail "the look-alike Lodz.ini was loaded"
focus "$main"
xdotool key alt+F4  # the history is as loaded: nothing to ask
closes_with_0 "the editor did not close"

# Code page 1250 holds Ł and ź: the name is handed on as it is, and the
# file the person named is written.
log=$work/cp1250.log
start_editor LC_ALL=pl_PL.UTF-8
said "ANSI code page 1250" || fail "the editor does not run with code page 1250"
xdotool key alt+p s
type_in "Select File for export to" "$probe\\Łodź"
within 60 said "status: Saved" || fail "nothing was saved with code page 1250"
grep -aqF "service: ExportHistory(\"$probe\\$(printf '\243od\237').ini\")" "$log" ||
  fail "the service did not get Łodź.ini in code page 1250"
[ -f "$work/probe/Łodź.ini" ] || fail "Łodź.ini was not written"
focus "$main"
xdotool key alt+F4
closes_with_0 "the editor did not close"
finish

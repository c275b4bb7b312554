// The editor's state: its history, the history as last saved or loaded, and
// the status line's text; and the commands that change them, from a person
// in the window, a scripted step or a service. It knows nothing of windows:
// whoever shows the state is told of every change.
//
// The history never holds what Save would refuse: a statement, a load or a
// fill that would take it past what the history file takes back (entries or
// bytes) is refused, and the status line says why.
#pragma once

#include <string>

#include "editor/history_file.h"

struct ModelChange {
  bool History = false;  // entries were added, removed or replaced
  size_t Select = 0;     // the entry to select, counted from 1; 0 for none
  bool Status = false;   // the status line has something new to say
};
// The one listener, told after each change.
void SetModelListener(void (*listener)(const ModelChange &change));

const History &Entries();
const std::string &StatusText();
// The history differs from what was last saved or loaded; the starting
// history counts as saved.
bool Unsaved();

// The status line's new text, also printed to the transcript.
void SetStatus(const std::string &text);

// The history the editor starts with, as if from earlier sessions.
void StartHistory(History entries);
// Appends the statement as typed; false when it is blank or would not fit.
bool RunStatement(const std::string &statement);
// Only spaces, tabs and line breaks: nothing to run, nothing to keep.
bool Blank(const std::string &statement);
// Entries are counted from 1, as the window and the status line show them.
void DeleteEntry(size_t number);
// Puts the entry deleted last back in its place; deleted entries are kept
// until the history is cleared or replaced.
void UndoDelete();
bool CanUndoDelete();
// The entry's text, for the statement box; false when there is none.
bool RecallEntry(size_t number, std::string &text);
void ClearHistory();
// Adds `count` short generated statements, for measuring large histories.
void FillHistory(size_t count);

// For the services: the history read from a file replaces this one, unless
// it would not fit (error says why); either way nothing is half done. A
// history that was never saved (work kept when a session ended) stays
// unsaved.
bool ReplaceHistory(History loaded, std::string &error, bool saved = true);
// The history as it is now has been written to a file.
void MarkSaved();

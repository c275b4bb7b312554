// The editor's main window: the statement box and its Run button above the
// history list, the status line below, the menus, and the keys that reach
// every command. It shows the state of history_model and is told of each
// change; closing it with the history unsaved asks first.
#pragma once

#include <windows.h>

#include <string>

// Creates the window and its controls (not yet shown).
// The window's title, which its questions carry too.
constexpr char EditorTitle[] = "Stand-in SQL editor";

void CreateMainWindow(HINSTANCE instance);
HWND MainWindow();

// The menu bar, once the plug-ins have said which commands they offer.
void BuildMenu();

// The commands as the menus run them, each asking first where it would
// discard unsaved work: a plug-in's command by its caption (false when no
// plug-in offers it; "Load history" asks), and "Clear history".
bool RunOffered(const std::string &caption);
void ClearAsked();
// Before the statement box's text is replaced (a recall, a statement run
// from a script): a statement typed and not run is replaced only once the
// person agrees; otherwise `notDone` starts the status line's refusal.
bool MayReplaceStatement(const std::string &with, const std::string &notDone);
// Brings the entry (from 1) into the statement box, asking first as above.
void RecallAsked(size_t number);
// At the start: work kept when a session ended without waiting is offered
// back (OK), or kept for the next start (Cancel).
void OfferKeptWork();

// What an entry's history row shows: line breaks as a pilcrow, a long
// entry cut short between two characters.
std::wstring HistoryRowText(const std::string &entry);

// Scrolls the history so that row `number` (from 1) is shown, and gives the
// middle of it on the screen, or the scroll bar beside it; false when there
// is no such row.
bool HistoryRowOnScreen(size_t number, POINT &at, bool scrollBar = false);

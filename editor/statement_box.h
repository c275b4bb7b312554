// The statement box: a multi-line box that holds what the person typed,
// letters the ANSI code page lacks included, so that such a statement is
// refused rather than changed; and whether what it holds is the person's
// own work, typed or changed and not run since.
#pragma once

#include <windows.h>

#include <string>

HWND CreateStatementBox(HWND parent, int id, HFONT font);

// Not blank, and changed since the last run or recall.
bool StatementUnrun();

// What Run would store: an entry recalled and not changed since as its own
// bytes, else the box's text in the ANSI code page, what it cannot hold as
// '?'.
std::string StatementText();
// Replaces the statement box's text as typing over it would (Ctrl+Z brings
// back what it held), selected, with the keyboard focus in it.
void SetStatementText(const std::string &text);

// The Run command: the statement box's text goes into the history, unless
// the ANSI code page cannot hold it exactly (the status line says so).
void RunStatementBox();
// Brings the entry (counted from 1) back into the statement box, as typing
// over it would; run unchanged, it is stored with exactly its bytes.
void RecallIntoBox(size_t number);

// The box's text as typed, every letter, for keeping it when the session
// ends; and such a text put back as the person's own, not yet run.
std::wstring StatementWide();
void PutBackStatement(const std::wstring &text);

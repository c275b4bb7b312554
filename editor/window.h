// The editor's main window: the statement box and its Run button above the
// history list, the status line below, the menus, and the keys that reach
// every command.
#pragma once

#include <windows.h>

#include <string>

// Creates the window and its controls (not yet shown).
void CreateMainWindow(HINSTANCE instance);

// The menu bar, once the plug-ins have said which commands they offer.
void BuildMenu();

// Shows App.Entries; `select` (counted from 1) is selected and scrolled
// into view, 0 selects nothing.
void ShowHistory(size_t select);

// Draws every part of the window that is out of date, now.
void PaintNow();

void ShowStatus(const std::string &text);
std::string StatementText();
// Fills the statement box, selected, with the keyboard focus in it.
void SetStatementText(const std::string &text);

// The Run command: the statement box's text goes into the history.
void RunStatementBox();

// What the message loop does with one message: the window's accelerators
// and dialog keys (Tab, mnemonics) first, then the usual dispatch.
void DispatchEditorMessage(MSG &message);

// Runs until the window is closed.
void RunMessageLoop();

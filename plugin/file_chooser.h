#pragma once

#include <windows.h>

// Asks the user for the history file. Nonzero when a file was confirmed,
// an ANSI path naming exactly that file then in HistoryPath; 0 when
// cancelled or when the dialog failed.
BOOL ChooseHistoryFile(HWND owner);

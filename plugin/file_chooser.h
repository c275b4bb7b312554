#pragma once

#include <windows.h>

// Asks the user for the history file. Nonzero when a file was confirmed,
// its full path then in HistoryPath; 0 when cancelled or when the dialog
// failed.
BOOL ChooseHistoryFile(HWND owner);

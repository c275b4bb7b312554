// The library's whole state: zero when the loader maps it, one set per
// loaded library, unguarded because the editor never runs two entry points
// of one library at once.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "host/records.h"

extern HINSTANCE ModuleHandle;
extern HostInfo *HostRecord;
extern HostServices *ServiceTable;
// The path the editor's service gets: ANSI text, as the editor reads it,
// naming exactly the file the person chose.
extern char HistoryPath[MAX_PATH];
// The dialog's own buffer: the path as the person chose it, every letter
// kept, and the name the next dialog opens with.
extern wchar_t ChosenPath[MAX_PATH];
extern OPENFILENAMEW FileDialogRecord;

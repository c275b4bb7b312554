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
extern char HistoryPath[MAX_PATH];
extern OPENFILENAMEA FileDialogRecord;

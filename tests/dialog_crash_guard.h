// Tells a crash inside the platform's own file dialog from every other
// crash, in a child process of a death test: the library's dialog import is
// routed through a wrapper that records entry and return, and a first-chance
// handler ends the process with PlatformDialogCrashed only when the fault
// lies inside that call and outside the library's image. Any other crash
// goes on to end the process with its own code.
#pragma once

#include <windows.h>

constexpr int PlatformDialogCrashed = 0x0DC0;

using DialogFunction = BOOL(WINAPI *)(void *record);

// Routes `library`'s import of `dialogImport` through the recording
// wrapper to `dialog` (the platform's own function when null).
bool GuardDialogCalls(HMODULE library, const char *dialogImport,
                      DialogFunction dialog = nullptr);

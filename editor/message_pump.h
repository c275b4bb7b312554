// The editor's one way of handling its thread's messages, wherever it waits:
// its main loop, a scripted step waiting for keys to be handled, the
// autopilot waiting for a window to be drawn.
#pragma once

#include <windows.h>

// The main window's own handling (accelerators, dialog keys), tried before
// the usual dispatch; true when it took the message.
void SetMessageFilter(bool (*filter)(MSG &message));

// Handles every message queued now; false once the editor is to quit (the
// quit is posted again for the main loop, so nothing waits on after it).
bool PumpPending();
// Handles messages as they come, for this long or until the quit.
void PumpFor(DWORD ms);
// Until the main window is gone.
void RunMessageLoop();

// Whether GetTickCount() has reached `when` (it wraps every 49 days).
bool Reached(DWORD when);

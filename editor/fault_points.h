// Places where whatever drives the editor may make it fail, as it would were
// memory to run out there, to show that the failure ends inside the editor.
// The editor people use sets no hook, and nothing happens at these places.
#pragma once

// Places: "ExportHistory", "ImportHistory", "draw" (a history row), "close"
// (deciding whether the editor may close), "autopilot" (a tick of the
// driver's autopilot, inside a plug-in's dialog).
void SetFaultHook(void (*hook)(const char *place));
// Calls the hook, which may throw.
void FaultPoint(const char *place);

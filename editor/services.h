// The two services the editor hands every plug-in: ExportHistory writes the
// history to the file named, ImportHistory reads it back. They are called
// from inside a plug-in, so nothing they do may escape into it: whatever
// goes wrong ends in the status line and a result of 0.
#pragma once

#include "host/records.h"

extern HostServices Services;

// Each service prints where its time went (--timings).
void PrintServiceTimings(bool on);

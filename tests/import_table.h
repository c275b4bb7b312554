// Reaches into a loaded module's import table, so a test or a benchmark
// can stand in for a platform function the module calls.
#pragma once

#include <windows.h>

// Rewrites one import-table slot of a loaded module; returns whether the
// module imports that function at all.
bool ReplaceImport(HMODULE module, const char *dll, const char *function,
                   void *replacement);

// True when address lies inside the module's mapped image.
bool IsInsideImage(HMODULE module, const void *address);

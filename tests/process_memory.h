// What the process has committed for itself, as the platform would charge
// it; read by walking the address space, since Wine leaves the process's
// own private-bytes counter unset. Needs no C runtime.
#pragma once

#include <windows.h>

struct Memory {
  DWORD Private;  // private pages, and writable pages of mapped images
  DWORD Image;    // bytes of mapped images, shared or not
};

Memory MeasureMemory();

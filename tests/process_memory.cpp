#include "tests/process_memory.h"

namespace {

// Writable image pages become private copies when written.
bool IsWritable(DWORD protect) {
  return (protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                     PAGE_EXECUTE_WRITECOPY)) != 0;
}

}  // namespace

Memory MeasureMemory() {
  Memory m = {0, 0};
  MEMORY_BASIC_INFORMATION region;
  const BYTE *at = nullptr;
  while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT) {
      if (region.Type == MEM_PRIVATE || IsWritable(region.Protect)) {
        m.Private += region.RegionSize;
      }
      if (region.Type == MEM_IMAGE) m.Image += region.RegionSize;
    }
    const BYTE *next =
        static_cast<const BYTE *>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;  // the top of the address space
    at = next;
  }
  return m;
}

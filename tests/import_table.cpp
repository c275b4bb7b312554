#include "tests/import_table.h"

namespace {

template <typename T>
T At(HMODULE module, DWORD rva) {
  return reinterpret_cast<T>(reinterpret_cast<BYTE *>(module) + rva);
}

}  // namespace

bool ReplaceImport(HMODULE module, const char *dll, const char *function,
                   void *replacement) {
  auto dos = At<IMAGE_DOS_HEADER *>(module, 0);
  auto nt = At<IMAGE_NT_HEADERS32 *>(module, dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.Size == 0) return false;
  for (auto desc = At<IMAGE_IMPORT_DESCRIPTOR *>(module, dir.VirtualAddress);
       desc->Name != 0; ++desc) {
    if (lstrcmpiA(At<const char *>(module, desc->Name), dll) != 0) continue;
    auto names = At<IMAGE_THUNK_DATA32 *>(module, desc->OriginalFirstThunk);
    auto slots = At<IMAGE_THUNK_DATA32 *>(module, desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
      auto byName = At<IMAGE_IMPORT_BY_NAME *>(module, names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char *>(byName->Name), function))
        continue;
      DWORD old;
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<DWORD>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), old, &old);
      return true;
    }
  }
  return false;
}

bool IsInsideImage(HMODULE module, const void *address) {
  auto dos = At<IMAGE_DOS_HEADER *>(module, 0);
  auto nt = At<IMAGE_NT_HEADERS32 *>(module, dos->e_lfanew);
  auto base = reinterpret_cast<const BYTE *>(module);
  auto p = static_cast<const BYTE *>(address);
  return p >= base && p < base + nt->OptionalHeader.SizeOfImage;
}

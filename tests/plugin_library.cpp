#include "tests/plugin_library.h"

#include <gtest/gtest.h>

#include "host/windows_path.h"
#include "tests/platform_fakes.h"

std::string PluginDirectory = ".";

const LibraryCase SaveLibrary = {
    "Pellor.dll",       "Save History plig-in",      "Save history",
    "GetSaveFileNameA", "Select File for export to", 2};
const LibraryCase LoadLibrary_ = {
    "Dravik.dll",       "Load History plig-in",      "Load history",
    "GetOpenFileNameA", "Select File for load from", 3};
const LibraryCase *const AllLibraries[2] = {&SaveLibrary, &LoadLibrary_};

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

PluginLibrary LoadPlugin(const LibraryCase &library) {
  PluginLibrary plugin;
  const std::string path = WindowsPath(PluginDirectory + "/" + library.File);
  plugin.Module = LoadLibraryA(path.c_str());
  EXPECT_NE(plugin.Module, nullptr) << "the editor could not load " << path
                                    << " (error " << GetLastError() << ")";
  if (plugin.Module == nullptr) return plugin;

  plugin.DllMain =
      reinterpret_cast<DllMainFn>(GetProcAddress(plugin.Module, "DllMain"));
  plugin.OnInstall =
      reinterpret_cast<OnInstallFn>(GetProcAddress(plugin.Module, "OnInstall"));
  plugin.OnCall =
      reinterpret_cast<OnCallFn>(GetProcAddress(plugin.Module, "OnCall"));
  plugin.OnExit =
      reinterpret_cast<OnExitFn>(GetProcAddress(plugin.Module, "OnExit"));
  EXPECT_TRUE(plugin.DllMain && plugin.OnInstall && plugin.OnCall &&
              plugin.OnExit)
      << library.File << " lacks an entry point the editor looks up";

  EXPECT_TRUE(ReplaceImport(plugin.Module, "user32.dll", "MessageBoxA",
                            reinterpret_cast<void *>(&FakeMessageBoxA)))
      << library.File << " does not import MessageBoxA";
  const bool save =
      ReplaceImport(plugin.Module, "comdlg32.dll", "GetSaveFileNameA",
                    reinterpret_cast<void *>(&FakeGetSaveFileNameA));
  const bool open =
      ReplaceImport(plugin.Module, "comdlg32.dll", "GetOpenFileNameA",
                    reinterpret_cast<void *>(&FakeGetOpenFileNameA));
  EXPECT_EQ(save + open, 1) << library.File << " must import one dialog";
  return plugin;
}

void UnloadPlugin(PluginLibrary &plugin) {
  if (plugin.Module) FreeLibrary(plugin.Module);
  plugin = PluginLibrary{};
}

int BytesRemovedByCallee(void *fn, void *a, void *b, void *c) {
  void *args[3] = {a, b, c};
  int grown;  // how far the stack pointer ended below where it started
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 8(%2)\n\t"
      "pushl 4(%2)\n\t"
      "pushl 0(%2)\n\t"
      "call *%1\n\t"
      "movl %%esi, %%eax\n\t"
      "subl %%esp, %%eax\n\t"
      "movl %%esi, %%esp\n\t"
      : "=&a"(grown)
      : "b"(fn), "D"(args)
      : "esi", "ecx", "edx", "memory", "cc");
  return 12 - grown;
}

#include "tests/plugin_library.h"

#include <gtest/gtest.h>

#include "host/windows_path.h"
#include "tests/import_table.h"
#include "tests/platform_fakes.h"

std::string PluginDirectory = ".";

const LibraryCase SaveLibrary = {
    "Pellor.dll",       "Save History plig-in",      "Save history",
    "GetSaveFileNameW", "Select File for export to", 2};
const LibraryCase LoadLibrary_ = {
    "Dravik.dll",       "Load History plig-in",      "Load history",
    "GetOpenFileNameW", "Select File for load from", 3};
const LibraryCase *const AllLibraries[2] = {&SaveLibrary, &LoadLibrary_};

PluginLibrary LoadPlugin(const LibraryCase &library, Dialog dialog) {
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
  EXPECT_TRUE(ReplaceImport(plugin.Module, "user32.dll", "MessageBoxW",
                            reinterpret_cast<void *>(&FakeMessageBoxW)))
      << library.File << " does not import MessageBoxW";
  if (dialog == Dialog::Real) return plugin;
  // The code page and the file system, as each test sets them.
  EXPECT_TRUE(ReplaceImport(plugin.Module, "kernel32.dll", "GetACP",
                            reinterpret_cast<void *>(&FakeGetACP)));
  EXPECT_TRUE(ReplaceImport(plugin.Module, "kernel32.dll", "GetShortPathNameW",
                            reinterpret_cast<void *>(&FakeGetShortPathNameW)));
  EXPECT_TRUE(
      ReplaceImport(plugin.Module, "kernel32.dll", "WideCharToMultiByte",
                    reinterpret_cast<void *>(&FakeWideCharToMultiByte)));
  const bool save =
      ReplaceImport(plugin.Module, "comdlg32.dll", "GetSaveFileNameW",
                    reinterpret_cast<void *>(&FakeGetSaveFileNameW));
  const bool open =
      ReplaceImport(plugin.Module, "comdlg32.dll", "GetOpenFileNameW",
                    reinterpret_cast<void *>(&FakeGetOpenFileNameW));
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

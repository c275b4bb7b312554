// Loads a shipped plug-in library and reaches its entry points through the
// exact signatures the editor uses; replaces its platform imports with the
// recording fakes of platform_fakes.h.
#pragma once

#include <windows.h>

#include <string>

#include "host/records.h"
#include "tests/import_table.h"

using DllMainFn = BOOL(WINAPI *)(HINSTANCE, DWORD, LPVOID);
using OnInstallFn = int(WINAPI *)(PluginInfo *, HostInfo *);
using OnCallFn = int(__cdecl *)();
using OnExitFn = void(__cdecl *)();

// What tells the two libraries apart, written down independently of the
// plug-in's own table.
struct LibraryCase {
  const char *File;
  const char *ErrorCaption;
  const char *CommandCaption;
  const char *DialogImport;
  const char *DialogTitle;
  int ServiceEntry;  // index into HostServices viewed as four pointers
};

extern const LibraryCase SaveLibrary;
extern const LibraryCase LoadLibrary_;
extern const LibraryCase *const AllLibraries[2];

struct PluginLibrary {
  HMODULE Module = nullptr;
  DllMainFn DllMain = nullptr;
  OnInstallFn OnInstall = nullptr;
  OnCallFn OnCall = nullptr;
  OnExitFn OnExit = nullptr;
};

// The folder that holds the built libraries (set from the command line).
extern std::string PluginDirectory;

// Loads the library and points its message boxes and, unless the test wants
// the platform's real ones, its dialog, code page and short paths at the
// fakes. Fails the
// current test when anything is missing.
enum class Dialog { Fake, Real };
PluginLibrary LoadPlugin(const LibraryCase &library,
                         Dialog dialog = Dialog::Fake);
void UnloadPlugin(PluginLibrary &plugin);

// Calls fn with three stack arguments and returns how many bytes of them the
// callee removed: 12 for a callee-cleans function of three arguments, 8 for
// one of two, 0 for cdecl.
int BytesRemovedByCallee(void *fn, void *a, void *b, void *c);

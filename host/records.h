// The records the editor hands to a history plug-in, and the services it
// offers back. They are shared by two separately built programs, so every
// offset and size the plug-in relies on is pinned below each record.
#pragma once

#include <stddef.h>
#include <windows.h>

extern "C" {

// Both services take the plug-in's NUL-terminated path (at most 259
// characters) and return the editor's own result, which the plug-in never
// interprets. The caller removes the argument.
typedef int(__cdecl *HistoryService)(char *path);

struct HostServices {
  void *Reserved[2];             // the editor's; never touched
  HistoryService ExportHistory;  // called by the save library
  HistoryService ImportHistory;  // called by the load library
};
static_assert(offsetof(HostServices, ExportHistory) == 8, "entry 3");
static_assert(offsetof(HostServices, ImportHistory) == 12, "entry 4");
static_assert(sizeof(HostServices) == 16, "four 32-bit entries");

struct HostInfo {
  int Reserved0;                  // the editor's; not read
  int MajorVersion;               // 1 in 1.51.22
  int MinorVersion;               // 51 in 1.51.22
  int BuildNumber;                // 22 in 1.51.22
  unsigned char Reserved16[344];  // the editor's; not read
  HWND OwnerWindow;               // owner of the file dialog, read per command
  HostServices *Services;         // captured once, at an accepted install
};
static_assert(offsetof(HostInfo, MajorVersion) == 4, "major version");
static_assert(offsetof(HostInfo, MinorVersion) == 8, "minor version");
static_assert(offsetof(HostInfo, BuildNumber) == 12, "build number");
static_assert(offsetof(HostInfo, OwnerWindow) == 360, "owner window");
static_assert(offsetof(HostInfo, Services) == 364, "service table");
static_assert(sizeof(HostInfo) == 368, "smallest record a host may pass");

// The caption written is 12 characters; the editor sizes the buffer, which
// must hold at least 13 bytes. The plug-in writes nothing past the NUL.
enum { MinCaptionBytes = 13 };

struct PluginInfo {
  int Reserved0;                  // the editor's; neither read nor written
  int Kind;                       // the plug-in stores 4
  char Caption[MinCaptionBytes];  // the text itself, held in the record
};
static_assert(offsetof(PluginInfo, Kind) == 4, "kind");
static_assert(offsetof(PluginInfo, Caption) == 8, "caption held inline");

static_assert(sizeof(void *) == 4 && sizeof(HWND) == 4 && sizeof(int) == 4,
              "the editor is a 32-bit process");

}  // extern "C"

// The editor's side of the plug-in contract: load, install, command, exit,
// unload, in that order.
#pragma once

#include <windows.h>

#include <string>

#include "host/records.h"

struct HostVersion {
  int Major = 1, Minor = 51, Build = 22;
};

struct LoadedPlugin {
  std::string Path;
  HMODULE Module = nullptr;
  int(WINAPI *OnInstall)(PluginInfo *, HostInfo *) = nullptr;
  int(__cdecl *OnCall)() = nullptr;
  void(__cdecl *OnExit)() = nullptr;
  HostInfo *Host = nullptr;  // ours; alive until the library is unloaded
  unsigned char InfoBytes[64] = {};  // PluginInfo with room for the caption
  bool Accepted = false;

  PluginInfo *Info() {
    return reinterpret_cast<PluginInfo *>(InfoBytes);
  }
};

// Loads and installs one library; returns false with a reason when the file
// is not a plug-in. A refused install still returns true (Accepted false).
bool LoadPlugin(const std::string &path, const HostVersion &version, HWND owner,
                HostServices *services, LoadedPlugin &plugin,
                std::string &error);

// OnExit, then unload, then release the HostInfo.
void UnloadPlugin(LoadedPlugin &plugin);

#include "editor/plugin_host.h"

#include "host/windows_path.h"

namespace {

// More than the 368 bytes the plug-ins read: a real editor's record is
// larger, and a plug-in must not care.
constexpr size_t HostInfoBytes = 512;

}  // namespace

bool LoadPlugin(const std::string &path, const HostVersion &version, HWND owner,
                HostServices *services, LoadedPlugin &plugin,
                std::string &error) {
  plugin = LoadedPlugin{};
  plugin.Path = path;
  plugin.Module = LoadLibraryA(WindowsPath(path).c_str());
  if (!plugin.Module) {
    error = "cannot load " + path + " (error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  plugin.OnInstall = reinterpret_cast<decltype(plugin.OnInstall)>(
      GetProcAddress(plugin.Module, "OnInstall"));
  plugin.OnCall = reinterpret_cast<decltype(plugin.OnCall)>(
      GetProcAddress(plugin.Module, "OnCall"));
  plugin.OnExit = reinterpret_cast<decltype(plugin.OnExit)>(
      GetProcAddress(plugin.Module, "OnExit"));
  if (!plugin.OnInstall || !plugin.OnCall || !plugin.OnExit) {
    error = path + " is not a history plug-in (entry points missing)";
    FreeLibrary(plugin.Module);
    plugin.Module = nullptr;
    return false;
  }
  plugin.Host = static_cast<HostInfo *>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, HostInfoBytes));
  if (!plugin.Host) {
    error = "no memory left to install " + path;
    FreeLibrary(plugin.Module);
    plugin.Module = nullptr;
    return false;
  }
  plugin.Host->MajorVersion = version.Major;
  plugin.Host->MinorVersion = version.Minor;
  plugin.Host->BuildNumber = version.Build;
  plugin.Host->OwnerWindow = owner;
  plugin.Host->Services = services;
  plugin.Accepted = plugin.OnInstall(plugin.Info(), plugin.Host) == 0;
  plugin.InfoBytes[sizeof plugin.InfoBytes - 1] = 0;  // a caption ends here
  return true;
}

void UnloadPlugin(LoadedPlugin &plugin) {
  if (plugin.Module) {
    plugin.OnExit();
    FreeLibrary(plugin.Module);
  }
  if (plugin.Host) HeapFree(GetProcessHeap(), 0, plugin.Host);
  plugin = LoadedPlugin{};
}

// The smallest editor: loads each library named on the command line,
// installs it as editor 1.51.22, prints what it registered, and unloads it.
// Runs no command, so no dialog opens.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/records.h"
#include "host/windows_path.h"

namespace {

int Smoke(const char *path) {
  HMODULE module = LoadLibraryA(WindowsPath(path).c_str());
  if (!module) {
    std::printf("%s: cannot load (error %lu)\n", path, GetLastError());
    return 1;
  }
  auto install = reinterpret_cast<int(WINAPI *)(PluginInfo *, HostInfo *)>(
      GetProcAddress(module, "OnInstall"));
  auto exit =
      reinterpret_cast<void(__cdecl *)()>(GetProcAddress(module, "OnExit"));
  if (!install || !exit) {
    std::printf("%s: entry points missing\n", path);
    FreeLibrary(module);
    return 1;
  }
  static HostServices services;
  static HostInfo host;
  std::memset(&host, 0, sizeof host);
  host.MajorVersion = 1;
  host.MinorVersion = 51;
  host.BuildNumber = 22;
  host.Services = &services;
  char buffer[64] = {};
  auto info = reinterpret_cast<PluginInfo *>(buffer);
  const int result = install(info, &host);
  std::printf("%s: OnInstall -> %d, Kind %d, Caption \"%s\"\n", path, result,
              info->Kind, info->Caption);
  exit();
  FreeLibrary(module);
  return result == 0 && info->Kind == 4 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  int failures = 0;
  for (int i = 1; i < argc; ++i) failures += Smoke(argv[i]);
  return failures;
}

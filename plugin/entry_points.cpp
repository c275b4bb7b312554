// The four exported entry points. Export names and ordinals come from
// resources/exports.def alone, so nothing here is marked dllexport.
#include <windows.h>

#include "plugin/file_chooser.h"
#include "plugin/module_state.h"
#include "plugin/variant.h"

HINSTANCE ModuleHandle;
HostInfo *HostRecord;
HostServices *ServiceTable;

namespace {

constexpr int InstalledKind = 4;
constexpr const char *RefusalText =
    "Incompatible Norrix SQL editor version. Required 1.51.22 or higher";

// 1.51.22 or later within major version 1, any later major version.
// A major version below 1 is refused too: the message names 1.51.22 as the
// requirement, and such an editor does not meet it.
bool IsSupportedHost(const HostInfo &host) {
  if (host.MajorVersion != 1) return host.MajorVersion > 1;
  if (host.MinorVersion != 51) return host.MinorVersion > 51;
  return host.BuildNumber >= 22;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
  ModuleHandle = instance;
  return TRUE;
}

int WINAPI OnInstall(PluginInfo *plugin, HostInfo *host) {
  // Nothing sensible can be installed into a missing record; refuse quietly
  // and keep whatever an earlier install left.
  if (plugin == nullptr || host == nullptr) return 1;

  HostRecord = host;
  if (!IsSupportedHost(*host)) {
    MessageBoxA(nullptr, RefusalText, Variant.ErrorCaption,
                MB_OK | MB_ICONERROR);
    return 1;
  }
  ServiceTable = host->Services;
  plugin->Kind = InstalledKind;
  lstrcpyA(plugin->Caption, Variant.CommandCaption);
  return 0;
}

int __cdecl OnCall() {
  // Without a service to hand the path to, asking the user for a file
  // would only waste their choice.
  if (ServiceTable == nullptr || ServiceTable->*Variant.Service == nullptr) {
    return 0;
  }
  if (!ChooseHistoryFile(HostRecord->OwnerWindow)) return 0;

  HistoryService service = ServiceTable->*Variant.Service;
  if (service == nullptr) return 0;  // the editor cleared it meanwhile
  HistoryPath[MAX_PATH - 1] = '\0';
  return service(HistoryPath);
}

void __cdecl OnExit() {}

}  // extern "C"

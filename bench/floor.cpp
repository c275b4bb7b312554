// The floor of the benchmark: a library with the plug-in's four exports
// (resources/exports.def) and nothing behind them, built like the shipped
// ones. What it costs to load is what any plug-in costs at least.
#include <windows.h>

#include "host/records.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}

int WINAPI OnInstall(PluginInfo *, HostInfo *) {
  return 0;
}

int __cdecl OnCall() {
  return 0;
}

void __cdecl OnExit() {}

}  // extern "C"

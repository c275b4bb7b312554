// The plug-ins as the editor offers them: installed at start, each accepted
// one a command under its own caption, unloaded at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "editor/plugin_host.h"

// Loads and installs each library with this editor version, their dialogs
// owned by `owner`.
void LoadPlugins(const std::vector<std::string> &paths,
                 const HostVersion &version, HWND owner);
// Called around each library's install, for whoever drives the editor: a
// scripted run reads the message boxes a library shows then.
void WatchInstalls(void (*before)(), void (*after)());

// The two commands the editor itself runs by caption: Save history before
// it would discard an unsaved history, and Load history, which asks first.
constexpr char SaveHistoryCaption[] = "Save history";
constexpr char LoadHistoryCaption[] = "Load history";

struct PluginCommand {
  int Id;  // the menu command that runs it
  std::string Caption;
};
std::vector<PluginCommand> PluginCommands();

// Whether an accepted plug-in offers this caption, and running it.
bool OffersCommand(const std::string &caption);
bool RunCommandCalled(const std::string &caption);

// A plug-in's command has not returned yet (its dialog is up).
bool CommandRunning();

void UnloadPlugins();

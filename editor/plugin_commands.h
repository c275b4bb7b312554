// The plug-ins as the editor offers them: installed at start, each accepted
// one a command under its own caption.
#pragma once

#include <string>
#include <vector>

#include "editor/plugin_host.h"

// Loads and installs each library with this editor version. In scripted
// runs the message boxes they show are read into the transcript and
// dismissed, the first pictured into `snapBox` when it is given.
void LoadPlugins(const std::vector<std::string> &paths,
                 const HostVersion &version, std::string snapBox);

struct PluginCommand {
  int Id;  // the menu command that runs it
  std::string Caption;
};
std::vector<PluginCommand> PluginCommands();

// Runs the plug-in behind this menu command; false when none is.
bool RunPluginCommand(int id);

// The accepted plug-in offering this caption, or nullptr.
LoadedPlugin *PluginByCaption(const std::string &caption);
int RunCommand(LoadedPlugin &plugin);

void UnloadPlugins();

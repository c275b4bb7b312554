#include "editor/plugin_commands.h"

#include "editor/history_model.h"
#include "editor/services.h"
#include "editor/transcript.h"

namespace {

constexpr int FirstPluginCommand = 100;

std::vector<LoadedPlugin> Plugins;
bool Running = false;
void (*BeforeInstall)() = nullptr;
void (*AfterInstall)() = nullptr;

// One command at a time: a library's entry points must never run twice at
// once, and a close asked for meanwhile must not start "Save history" again.
void RunCommand(LoadedPlugin &p) {
  if (Running) {
    SetStatus("Not run: a plug-in's command is still running");
    return;
  }
  Say("command: " + std::string(p.Info()->Caption));
  Running = true;
  const int result = p.OnCall();
  Running = false;
  Say("OnCall -> " + std::to_string(result));
}

LoadedPlugin *Offering(const std::string &caption) {
  for (LoadedPlugin &p : Plugins) {
    if (p.Accepted && caption == p.Info()->Caption) return &p;
  }
  return nullptr;
}

}  // namespace

void WatchInstalls(void (*before)(), void (*after)()) {
  BeforeInstall = before;
  AfterInstall = after;
}

void LoadPlugins(const std::vector<std::string> &paths,
                 const HostVersion &version, HWND owner) {
  std::string refused;
  for (const std::string &path : paths) {
    LoadedPlugin p;
    std::string error;
    if (BeforeInstall) BeforeInstall();
    const bool loaded = LoadPlugin(path, version, owner, &Services, p, error);
    if (AfterInstall) AfterInstall();
    if (!loaded) {
      SetStatus(error);
      continue;
    }
    Say("installed " + path + ": " +
        (p.Accepted ? "accepted, caption " + Quote(p.Info()->Caption)
                    : std::string("refused")));
    if (!p.Accepted) refused += (refused.empty() ? "" : ", ") + path;
    Plugins.push_back(p);
  }
  if (!refused.empty()) {
    SetStatus("Plug-in refused this editor version and is not offered: " +
              refused);
  }
}

std::vector<PluginCommand> PluginCommands() {
  std::vector<PluginCommand> commands;
  for (size_t i = 0; i < Plugins.size(); ++i) {
    if (Plugins[i].Accepted) {
      commands.push_back({FirstPluginCommand + static_cast<int>(i),
                          Plugins[i].Info()->Caption});
    }
  }
  return commands;
}

bool OffersCommand(const std::string &caption) {
  return Offering(caption) != nullptr;
}

bool RunCommandCalled(const std::string &caption) {
  LoadedPlugin *p = Offering(caption);
  if (p) RunCommand(*p);
  return p != nullptr;
}

bool CommandRunning() {
  return Running;
}

void UnloadPlugins() {
  for (LoadedPlugin &p : Plugins) UnloadPlugin(p);
  Plugins.clear();
}

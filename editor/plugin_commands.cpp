#include "editor/plugin_commands.h"

#include "editor/autopilot.h"
#include "editor/history_model.h"

namespace {

constexpr int FirstPluginCommand = 100;

}  // namespace

void LoadPlugins(const std::vector<std::string> &paths,
                 const HostVersion &version, std::string snapBox) {
  std::string refused;
  for (const std::string &path : paths) {
    LoadedPlugin p;
    std::string error;
    if (App.Scripted) ArmMessageBoxes(snapBox);
    const bool loaded =
        LoadPlugin(path, version, App.Window, &Services, p, error);
    if (App.Scripted) {
      for (const MessageBoxSeen &box : FinishMessageBoxes()) {
        Say("message box: caption " + Quote(box.Caption) + ", text " +
            Quote(box.Text) + (box.Owned ? ", owned" : ", no owner"));
        if (!box.Snapshot.empty()) Say("snapshot: " + Quote(box.Snapshot));
        if (!box.SnapFailure.empty())
          Say("error: no picture of the box: " + box.SnapFailure);
        snapBox.clear();  // pictured, or tried: only the first box
      }
    }
    if (!loaded) {
      SetStatus(error);
      continue;
    }
    Say("installed " + path + ": " +
        (p.Accepted ? "accepted, caption " + Quote(p.Info()->Caption)
                    : std::string("refused")));
    if (!p.Accepted) refused += (refused.empty() ? "" : ", ") + path;
    App.Plugins.push_back(p);
  }
  if (!refused.empty()) {
    SetStatus("Plug-in refused this editor version and is not offered: " +
              refused);
  }
}

std::vector<PluginCommand> PluginCommands() {
  std::vector<PluginCommand> commands;
  for (size_t i = 0; i < App.Plugins.size(); ++i) {
    if (App.Plugins[i].Accepted) {
      commands.push_back({FirstPluginCommand + static_cast<int>(i),
                          App.Plugins[i].Info()->Caption});
    }
  }
  return commands;
}

bool RunPluginCommand(int id) {
  const int index = id - FirstPluginCommand;
  if (index < 0 || index >= static_cast<int>(App.Plugins.size()) ||
      !App.Plugins[index].Accepted) {
    return false;
  }
  RunCommand(App.Plugins[index]);
  return true;
}

LoadedPlugin *PluginByCaption(const std::string &caption) {
  for (LoadedPlugin &p : App.Plugins) {
    if (p.Accepted && caption == p.Info()->Caption) return &p;
  }
  return nullptr;
}

int RunCommand(LoadedPlugin &p) {
  Say("command: " + std::string(p.Info()->Caption));
  const int result = p.OnCall();
  Say("OnCall -> " + std::to_string(result));
  return result;
}

void UnloadPlugins() {
  for (LoadedPlugin &p : App.Plugins) UnloadPlugin(p);
  App.Plugins.clear();
}

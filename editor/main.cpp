// The stand-in editor: a small Win32 program that hosts the history
// plug-ins exactly as the editor does, keeps a history of SQL statements,
// and offers the services the plug-ins hand their paths to.
//
//   stand_in_editor [--host-version 1.51.22] [--script "STEP; STEP; ..."]
//                   [--snap-box FILE.bmp] [PLUGIN.dll ...]
//
// Script steps: save NAME, load NAME, cancel save, cancel load,
// save NAME no (answer "no" to replacing, then cancel), save NAME yes,
// save-all-files NAME (switch to "All Files" first), clear, show, quit,
// and for the documentation's pictures (24-bit BMP files): snap-menu FILE
// (the window with its Plug-ins menu open), snap-save FILE and snap-load
// FILE (the command's dialog, then cancel it). --snap-box pictures the
// first message box a plug-in shows while installing, in scripted runs.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editor/autopilot.h"
#include "editor/history_file.h"
#include "editor/history_store.h"
#include "editor/plugin_host.h"

namespace {

constexpr int StatusId = 2;
constexpr int ListId = 3;
constexpr int FirstPluginCommand = 100;
constexpr int ExitCommand = 99;
constexpr char PluginsMnemonic = 'p';  // of "&Plug-ins"

struct Editor {
  HWND Window = nullptr;
  HWND List = nullptr;
  HWND Status = nullptr;
  History Entries = {
      "SELECT id, name FROM customers WHERE city = 'Oslo';",
      "SELECT o.id, SUM(l.amount)\r\n  FROM orders o\r\n  JOIN lines l ON "
      "l.order_id = o.id\r\n GROUP BY o.id;",
      "UPDATE settings SET value = 'a=b; [c]' WHERE key = \"mode\";",
      "  -- kept with its spaces  ",
      "INSERT INTO notes(text) VALUES ('caf\xE9 cr\xE8me');",
  };
  std::vector<LoadedPlugin> Plugins;
  bool Scripted = false;
} App;

void Say(const std::string &line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void SetStatus(const std::string &text) {
  if (App.Status) SetWindowTextA(App.Status, text.c_str());
  Say("status: " + text);
}

void ShowHistory() {
  if (!App.List) return;
  SendMessageA(App.List, LB_RESETCONTENT, 0, 0);
  for (const std::string &e : App.Entries) {
    std::string line;
    for (char c : e) {
      if (c == '\r') continue;
      line += c == '\n' ? std::string(" \xB6 ") : std::string(1, c);
    }
    SendMessageA(App.List, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(line.c_str()));
  }
}

std::string Quote(const std::string &s) {
  return "\"" + s + "\"";
}

// The two services the plug-ins call, with the caller removing the argument.
int __cdecl ExportHistory(char *path) {
  std::string error;
  Say("service: ExportHistory(" + Quote(path) + ")");
  if (!SaveHistoryFile(path, App.Entries, error)) {
    SetStatus("History not saved: " + error);
    return 0;
  }
  SetStatus("Saved " + std::to_string(App.Entries.size()) +
            " history entries to " + path);
  return 1;
}

int __cdecl ImportHistory(char *path) {
  std::string error;
  Say("service: ImportHistory(" + Quote(path) + ")");
  History loaded;
  if (!LoadHistoryFile(path, loaded, error)) {
    SetStatus("History not loaded, kept as it was: " + error);
    return 0;
  }
  App.Entries = std::move(loaded);
  ShowHistory();
  SetStatus("Loaded " + std::to_string(App.Entries.size()) +
            " history entries from " + path);
  return 1;
}

HostServices Services = {{nullptr, nullptr}, &ExportHistory, &ImportHistory};

LoadedPlugin *PluginByCaption(const char *caption) {
  for (LoadedPlugin &p : App.Plugins) {
    if (p.Accepted && lstrcmpA(p.Info()->Caption, caption) == 0) return &p;
  }
  return nullptr;
}

int RunCommand(LoadedPlugin &p) {
  Say("command: " + std::string(p.Info()->Caption));
  const int result = p.OnCall();
  Say("OnCall -> " + std::to_string(result));
  return result;
}

LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      const int width = LOWORD(lp), height = HIWORD(lp);
      MoveWindow(App.List, 0, 0, width, height - 22, TRUE);
      MoveWindow(App.Status, 0, height - 22, width, 22, TRUE);
      return 0;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == ExitCommand) DestroyWindow(w);
      const int index = id - FirstPluginCommand;
      if (index >= 0 && index < static_cast<int>(App.Plugins.size()))
        RunCommand(App.Plugins[index]);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

void CreateMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "StandInEditor";
  RegisterClassA(&wc);
  App.Window = CreateWindowA("StandInEditor", "Stand-in SQL editor",
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             720, 360, nullptr, nullptr, instance, nullptr);
  App.List = CreateWindowA(
      "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
      0, 0, 0, 0, App.Window, reinterpret_cast<HMENU>(ListId), instance,
      nullptr);
  App.Status = CreateWindowA("STATIC", "Ready", WS_CHILD | WS_VISIBLE, 0, 0, 0,
                             0, App.Window, reinterpret_cast<HMENU>(StatusId),
                             instance, nullptr);
}

void BuildMenu() {
  HMENU bar = CreateMenu(), file = CreatePopupMenu(),
        plugins = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, ExitCommand, "E&xit");
  for (size_t i = 0; i < App.Plugins.size(); ++i) {
    if (App.Plugins[i].Accepted)
      AppendMenuA(plugins, MF_STRING, FirstPluginCommand + i,
                  App.Plugins[i].Info()->Caption);
  }
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), "&Plug-ins");
  SetMenu(App.Window, bar);
}

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

bool Step(const std::string &step) {
  Say("step: " + step);
  auto arg = [&](size_t skip) { return step.substr(skip); };
  if (step == "quit") return false;
  if (step == "clear") {
    App.Entries.clear();
    ShowHistory();
    SetStatus("History cleared");
    return true;
  }
  if (step == "show") {
    for (size_t i = 0; i < App.Entries.size(); ++i)
      Say("entry " + std::to_string(i + 1) + ": " + QuoteEntry(App.Entries[i]));
    return true;
  }
  if (step.rfind("snap-menu ", 0) == 0) {
    const std::string error = SnapMenu(App.Window, PluginsMnemonic, arg(10));
    Say(error.empty() ? "snapshot: " + Quote(arg(10))
                      : "error: no picture of the menu: " + error);
    return true;
  }
  DialogPlan plan;
  const char *caption = nullptr;
  if (step.rfind("snap-save ", 0) == 0 || step.rfind("snap-load ", 0) == 0) {
    caption = step[5] == 's' ? "Save history" : "Load history";
    plan.SnapFile = arg(10);
    plan.Cancel = true;
  } else if (step.rfind("save-all-files ", 0) == 0) {
    caption = "Save history";
    plan.Name = arg(15);
    plan.SelectAllFiles = true;
  } else if (step.rfind("save ", 0) == 0) {
    caption = "Save history";
    plan.Name = arg(5);
  } else if (step.rfind("load ", 0) == 0) {
    caption = "Load history";
    plan.Name = arg(5);
  } else if (step == "cancel save" || step == "cancel load") {
    caption = step == "cancel save" ? "Save history" : "Load history";
    plan.Cancel = true;
  } else {
    Say("error: unknown step " + Quote(step));
    return true;
  }
  for (const char *answer : {" yes", " no"}) {
    const size_t n = lstrlenA(answer);
    if (plan.Name.size() > n &&
        plan.Name.compare(plan.Name.size() - n, n, answer) == 0) {
      plan.Name.resize(plan.Name.size() - n);
      plan.OverwriteAnswers.push_back(answer[1] == 'y');
    }
  }
  plan.Title = lstrcmpA(caption, "Save history") == 0
                   ? "Select File for export to"
                   : "Select File for load from";
  LoadedPlugin *p = PluginByCaption(caption);
  if (!p) {
    Say("error: no plug-in offers " + Quote(caption));
    return true;
  }
  ArmFileDialog(plan);
  RunCommand(*p);
  const DialogReport r = FinishFileDialog();
  if (r.Seen) {
    std::string filters;
    for (const std::string &f : r.Filters)
      filters += (filters.empty() ? "" : " | ") + f;
    Say("dialog: " + Quote(plan.Title) + ", name " + Quote(r.InitialName) +
        ", filter " + Quote(r.SelectedFilter) + ", filters [" + filters + "]");
  }
  for (const std::string &q : r.Questions) Say("dialog asked: " + Quote(q));
  if (!r.Snapshot.empty()) Say("snapshot: " + Quote(r.Snapshot));
  if (!r.Failure.empty()) Say("autopilot failed: " + r.Failure);
  return true;
}

std::vector<std::string> SplitScript(const std::string &script) {
  std::vector<std::string> steps;
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find(';', start);
    if (end == std::string::npos) end = script.size();
    std::string s = script.substr(start, end - start);
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (!s.empty()) steps.push_back(s);
    start = end + 1;
  }
  return steps;
}

bool ParseVersion(const char *text, HostVersion &v) {
  return std::sscanf(text, "%d.%d.%d", &v.Major, &v.Minor, &v.Build) == 3;
}

}  // namespace

int main(int argc, char **argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // transcript lines end in \n alone
  HostVersion version;
  std::string script, snapBox;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--host-version" && i + 1 < argc) {
      if (!ParseVersion(argv[++i], version)) {
        std::fprintf(stderr, "--host-version wants MAJOR.MINOR.BUILD\n");
        return 2;
      }
    } else if (a == "--script" && i + 1 < argc) {
      script = argv[++i];
      App.Scripted = true;
    } else if (a == "--snap-box" && i + 1 < argc) {
      snapBox = argv[++i];
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty()) paths = {"dist/Pellor.dll", "dist/Dravik.dll"};

  HINSTANCE instance = GetModuleHandleA(nullptr);
  CreateMainWindow(instance);
  ShowWindow(App.Window, SW_SHOW);
  ShowHistory();
  Say("editor version " + std::to_string(version.Major) + "." +
      std::to_string(version.Minor) + "." + std::to_string(version.Build) +
      ", ANSI code page " + std::to_string(GetACP()));
  LoadPlugins(paths, version, snapBox);
  BuildMenu();
  SetOwnerWindow(App.Plugins, App.Window);

  if (App.Scripted) {
    for (const std::string &step : SplitScript(script)) {
      if (!Step(step)) break;
    }
    DestroyWindow(App.Window);
  } else {
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  for (LoadedPlugin &p : App.Plugins) UnloadPlugin(p);
  return 0;
}

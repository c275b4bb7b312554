// The stand-in editor: a small Win32 program that hosts the history
// plug-ins exactly as the editor does, keeps a history of the SQL
// statements a person runs, and offers the services the plug-ins hand
// their paths to. This file reads the command line and starts it.
//
//   stand_in_editor [--host-version 1.51.22] [--script "STEP; STEP; ..."]
//                   [--snap-box FILE.bmp] [--timings] [PLUGIN.dll ...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/script.h"
#include "editor/history_model.h"
#include "editor/message_pump.h"
#include "editor/plugin_commands.h"
#include "editor/services.h"
#include "editor/thrown.h"
#include "editor/transcript.h"
#include "editor/window.h"

namespace {

// What an editor's history holds after a few sessions of work.
const History EarlierSessions = {
    "SELECT id, name FROM customers WHERE city = 'Oslo';",
    "SELECT o.id, SUM(l.amount)\r\n  FROM orders o\r\n  JOIN lines l ON "
    "l.order_id = o.id\r\n GROUP BY o.id;",
    "UPDATE settings SET value = 'a=b; [c]' WHERE key = \"mode\";",
    "  -- kept with its spaces  ",
    "INSERT INTO notes(text) VALUES ('caf\xE9 cr\xE8me');",
};

bool ParseVersion(const char *text, HostVersion &v) {
  return std::sscanf(text, "%d.%d.%d", &v.Major, &v.Minor, &v.Build) == 3;
}

int Run(int argc, char **argv) {
  HostVersion version;
  bool scripted = false;
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
      scripted = true;
    } else if (a == "--snap-box" && i + 1 < argc) {
      snapBox = argv[++i];
    } else if (a == "--timings") {
      PrintServiceTimings(true);
    } else {
      paths.push_back(a);
    }
  }
  if (!snapBox.empty() && !scripted) {
    // A person answers the box: it cannot be pictured and dismissed for
    // them.
    std::fprintf(stderr,
                 "--snap-box pictures a plug-in's message box only in a "
                 "scripted run: add --script (e.g. --script quit)\n");
    return 2;
  }
  if (paths.empty()) paths = {"dist/Pellor.dll", "dist/Dravik.dll"};

  StartHistory(EarlierSessions);
  CreateMainWindow(GetModuleHandleA(nullptr));
  if (!MainWindow()) {
    std::fprintf(stderr,
                 "The editor's window could not be created (error "
                 "%lu): is there a display?\n",
                 GetLastError());
    return 1;
  }
  ShowWindow(MainWindow(), SW_SHOW);
  Say("editor version " + std::to_string(version.Major) + "." +
      std::to_string(version.Minor) + "." + std::to_string(version.Build) +
      ", ANSI code page " + std::to_string(GetACP()));
  if (scripted) ReadInstallBoxes(snapBox);
  LoadPlugins(paths, version, MainWindow());
  BuildMenu();

  if (scripted) {
    RunScript(script);
    if (MainWindow()) DestroyWindow(MainWindow());
  } else {
    OfferKeptWork();
    RunMessageLoop();
  }
  UnloadPlugins();
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  OpenTranscript();
  try {
    return Run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "The editor ends: %s\n", ThrownReason());
  }
  return 3;
}

// The editor's state and what can be done to its history: the commands a
// person gives in the window or a script gives in steps, the status line
// that says what happened, and the two services the plug-ins call.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "editor/history_file.h"
#include "editor/plugin_host.h"
#include "host/records.h"

struct Editor {
  HWND Window = nullptr;
  HWND Statement = nullptr;  // the multi-line statement box
  HWND List = nullptr;       // the history, one row per entry
  HWND Status = nullptr;
  History Entries;
  std::vector<LoadedPlugin> Plugins;
  bool Scripted = false;
  bool Timings = false;  // services print where their time went
};
extern Editor App;

// The table handed to every plug-in: ExportHistory and ImportHistory.
extern HostServices Services;

// One line of the transcript on standard output.
void Say(const std::string &line);
std::string Quote(const std::string &s);

// Shows the text in the status line and prints it to the transcript.
void SetStatus(const std::string &text);

// Appends the statement, as typed, to the history; a blank one is refused.
void RunStatement(const std::string &statement);
// Entries are counted from 1, as the window and the status line show them.
void DeleteEntry(size_t number);
void RecallEntry(size_t number);
void ClearHistory();

// Milliseconds on a fine clock, for the services' timings.
double NowMs();

#ifdef EDITOR_TEST_FAULTS
// Test builds only: the named service throws std::bad_alloc at its next
// call, as it would were memory to run out.
void ThrowInNextService(const std::string &service);
#endif

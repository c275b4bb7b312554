#include "editor/history_model.h"

#include <cstdio>
#include <new>

#include "editor/history_store.h"
#include "editor/window.h"

Editor App;

namespace {

#ifdef EDITOR_TEST_FAULTS
std::string FaultService;  // the service that throws at its next call
void MaybeThrow(const char *service) {
  if (FaultService != service) return;
  FaultService.clear();
  throw std::bad_alloc();
}
#else
void MaybeThrow(const char *) {}
#endif

std::string Count(size_t n, const char *one, const char *many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

int SaveToFile(const char *path) {
  Say("service: ExportHistory(" + Quote(path) + ")");
  MaybeThrow("ExportHistory");
  const double start = NowMs();
  std::string error;
  if (!SaveHistoryFile(path, App.Entries, error)) {
    SetStatus("History not saved: " + error);
    return 0;
  }
  const double saved = NowMs();
  SetStatus("Saved " +
            Count(App.Entries.size(), "history entry", "history entries") +
            " to " + path);
  if (App.Timings) {
    Say("timing: ExportHistory " + std::to_string(App.Entries.size()) +
        " entries: format and write " + Ms(saved - start) + ", total " +
        Ms(NowMs() - start));
  }
  return 1;
}

int LoadFromFile(const char *path) {
  Say("service: ImportHistory(" + Quote(path) + ")");
  MaybeThrow("ImportHistory");
  const double start = NowMs();
  std::string error;
  History loaded;
  if (!LoadHistoryFile(path, loaded, error)) {
    SetStatus("History not loaded, kept as it was: " + error);
    return 0;
  }
  const double parsed = NowMs();
  App.Entries = std::move(loaded);
  ShowHistory(App.Entries.size());
  const double listed = NowMs();
  SetStatus("Loaded " +
            Count(App.Entries.size(), "history entry", "history entries") +
            " from " + path);
  const double stated = NowMs();
  PaintNow();  // loaded means shown: the window is drawn before returning
  const double painted = NowMs();
  if (App.Timings) {
    Say("timing: ImportHistory " + std::to_string(App.Entries.size()) +
        " entries: read and parse " + Ms(parsed - start) + ", list " +
        Ms(listed - parsed) + ", status " + Ms(stated - listed) + ", paint " +
        Ms(painted - stated) + ", total " + Ms(painted - start));
  }
  return 1;
}

// A service is called from inside a plug-in, whose frames no exception may
// cross: whatever went wrong ends here, in the status line, as a failure.
int ServiceFailed(const char *what, const char *why) noexcept {
  try {
    SetStatus(std::string(what) + ": " + why);
  } catch (...) {
    if (App.Status) SetWindowTextA(App.Status, what);
    std::printf("status: %s: %s\n", what, why);
    std::fflush(stdout);
  }
  return 0;
}

// Runs a service's work so that nothing it throws gets out.
int Guarded(int (*work)(const char *), const char *path,
            const char *failed) noexcept {
  try {
    return work(path);
  } catch (const std::bad_alloc &) {
    return ServiceFailed(failed, "not enough memory");
  } catch (const std::exception &e) {
    return ServiceFailed(failed, e.what());
  } catch (...) {
    return ServiceFailed(failed, "an unexpected error");
  }
}

// The two services the plug-ins call, with the caller removing the argument.
int __cdecl ExportHistory(char *path) {
  return Guarded(SaveToFile, path, "History not saved");
}

int __cdecl ImportHistory(char *path) {
  return Guarded(LoadFromFile, path, "History not loaded");
}

bool Blank(const std::string &s) {
  return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// A number from the window or a script names an entry, or says why not.
bool ValidEntry(size_t number) {
  if (number >= 1 && number <= App.Entries.size()) return true;
  SetStatus(App.Entries.empty()
                ? std::string("The history is empty")
                : "There is no history entry " + std::to_string(number) +
                      " (entries 1 to " + std::to_string(App.Entries.size()) +
                      ")");
  return false;
}

}  // namespace

HostServices Services = {{nullptr, nullptr}, &ExportHistory, &ImportHistory};

#ifdef EDITOR_TEST_FAULTS
void ThrowInNextService(const std::string &service) {
  FaultService = service;
}
#endif

void Say(const std::string &line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Quote(const std::string &s) {
  return "\"" + s + "\"";
}

void SetStatus(const std::string &text) {
  ShowStatus(text);
  Say("status: " + text);
}

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

void RunStatement(const std::string &statement) {
  if (Blank(statement)) {
    SetStatus(
        "Nothing to run: the statement box is empty; the history is "
        "unchanged");
    return;
  }
  // Nothing is executed (there is no database): the editor only records
  // what it would have run, byte for byte.
  App.Entries.push_back(statement);
  ShowHistory(App.Entries.size());
  SetStatus(
      "Ran the statement (no database here, nothing executed); it is "
      "history entry " +
      std::to_string(App.Entries.size()));
}

void DeleteEntry(size_t number) {
  if (!ValidEntry(number)) return;
  App.Entries.erase(App.Entries.begin() + (number - 1));
  ShowHistory(number <= App.Entries.size() ? number : App.Entries.size());
  SetStatus("Deleted history entry " + std::to_string(number) + "; " +
            Count(App.Entries.size(), "entry", "entries") + " left");
}

void RecallEntry(size_t number) {
  if (!ValidEntry(number)) return;
  SetStatementText(App.Entries[number - 1]);
  SetStatus("History entry " + std::to_string(number) +
            " is back in the statement box: F5 runs it again");
}

void ClearHistory() {
  const size_t removed = App.Entries.size();
  App.Entries.clear();
  ShowHistory(0);
  SetStatus("History cleared: " + Count(removed, "entry", "entries") +
            " removed");
}

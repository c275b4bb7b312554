#include "editor/services.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "editor/history_model.h"
#include "editor/history_store.h"
#include "editor/fault_points.h"
#include "editor/thrown.h"
#include "editor/transcript.h"

namespace {

bool Timings = false;

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

std::string CountOf(size_t n) {
  return std::to_string(n) + (n == 1 ? " history entry" : " history entries");
}

int SaveToFile(const char *path) {
  Say("service: ExportHistory(" + Quote(path) + ")");
  FaultPoint("ExportHistory");
  const double start = NowMs();
  std::string error;
  if (!SaveHistoryFile(path, Entries(), error)) {
    SetStatus("History not saved: " + error);
    return 0;
  }
  const double saved = NowMs();
  MarkSaved();
  SetStatus("Saved " + CountOf(Entries().size()) + " to " + path);
  if (Timings) {
    Say("timing: ExportHistory " + std::to_string(Entries().size()) +
        " entries: format and write " + Ms(saved - start) + ", total " +
        Ms(NowMs() - start));
  }
  return 1;
}

int LoadFromFile(const char *path) {
  Say("service: ImportHistory(" + Quote(path) + ")");
  FaultPoint("ImportHistory");
  const double start = NowMs();
  std::string error;
  History loaded;
  if (!LoadHistoryFile(path, loaded, error)) {
    SetStatus("History not loaded, kept as it was: " + error);
    return 0;
  }
  const double parsed = NowMs();
  // Loaded means shown: the window draws the new history as it is told.
  if (!ReplaceHistory(std::move(loaded), error)) {
    SetStatus("History not loaded, kept as it was: " + error);
    return 0;
  }
  SetStatus("Loaded " + CountOf(Entries().size()) + " from " + path);
  const double shown = NowMs();
  if (Timings) {
    Say("timing: ImportHistory " + std::to_string(Entries().size()) +
        " entries: read and parse " + Ms(parsed - start) + ", show " +
        Ms(shown - parsed) + ", total " + Ms(shown - start));
  }
  return 1;
}

int Failed(const char *what, const char *why) noexcept {
  try {
    SetStatus(std::string(what) + ": " + why);
  } catch (...) {
    SayLiteral(what);
  }
  return 0;
}

// Runs a service's work so that nothing it throws gets out.
int Guarded(int (*work)(const char *), const char *path,
            const char *failed) noexcept {
  try {
    return work(path);
  } catch (...) {
    return Failed(failed, ThrownReason());
  }
}

// The caller removes the argument.
int __cdecl ExportHistory(char *path) {
  return Guarded(SaveToFile, path, "History not saved");
}

int __cdecl ImportHistory(char *path) {
  return Guarded(LoadFromFile, path, "History not loaded");
}

}  // namespace

HostServices Services = {{nullptr, nullptr}, &ExportHistory, &ImportHistory};

void PrintServiceTimings(bool on) {
  Timings = on;
}

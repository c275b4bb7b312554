// The benchmark's editor: loads plug-in libraries into a process that, like
// the editor, lends them no C runtime of its own, so a library that needs
// one pays for whatever of it the process lacks. The platform's window and
// dialog libraries are loaded first: the editor has them anyway. Prints raw
// samples, one a line, for bench/report.py.
//   bench_host cycles ROUNDS CALLS LIBRARY...
//     frequency TICKS_PER_SECOND
//     resolution TICKS                  the timer's smallest step seen
//     cycle NAME ROUND TICKS            load, install, unload
//     command NAME ROUND TICKS CALLS    CALLS commands through the stand-ins
//   bench_host memory LIBRARY
//     memory NAME PRIVATE_BEFORE PRIVATE_AFTER IMAGE_BEFORE IMAGE_AFTER
//                                       (bytes, around loading LIBRARY)
// Each round visits every library once, starting one further along than
// the round before and, every few rounds, taking a different stride through
// the list, so each library follows the others alike: one loaded right
// after a conventional build pays part of that build's unloading. Only one
// library is loaded at a time, so each loads at its preferred address, and
// drift on a noisy machine reaches all alike.
#include <windows.h>
#include <commdlg.h>

#include "host/records.h"
#include "tests/import_table.h"
#include "tests/process_memory.h"

namespace {

constexpr int MaxLibraries = 8;
constexpr DWORD MaxRounds = 2000;

using InstallEntry = int(WINAPI *)(PluginInfo *, HostInfo *);
using CallEntry = int(__cdecl *)();
using ExitEntry = void(__cdecl *)();

struct Library {
  HMODULE Module;
  InstallEntry Install;
  CallEntry Call;
  ExitEntry Exit;
};

HANDLE Out;
char CommandLine[4096];
char *Arguments[16];
char Paths[MaxLibraries][MAX_PATH];
DWORD CycleTicks[MaxLibraries][MaxRounds];
DWORD CommandTicks[MaxLibraries][MaxRounds];

HostServices Services;
HostInfo Host;
unsigned char InfoBytes[64];
const wchar_t ChosenPath[] = L"C:\\history\\bench.ini";

void Write(const char *text) {
  DWORD written;
  WriteFile(Out, text, lstrlenA(text), &written, nullptr);
}

void WriteNumber(DWORD value) {
  char digits[12];
  int i = sizeof digits - 1;
  digits[i] = '\0';
  do {
    digits[--i] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  Write(" ");
  Write(digits + i);
}

[[noreturn]] void Fail(const char *what, const char *subject) {
  Write("error ");
  Write(subject);
  Write(": ");
  Write(what);
  Write("\n");
  ExitProcess(1);
}

// The editor's stand-ins: a user who picks a file at once, a box nobody
// reads, and a service that takes the path.
BOOL WINAPI StandInDialog(LPOPENFILENAMEW record) {
  lstrcpynW(record->lpstrFile, ChosenPath, record->nMaxFile);
  return TRUE;
}

int WINAPI StandInMessageBox(HWND, const void *, const void *, UINT) {
  return IDOK;
}

int __cdecl StandInService(char *) {
  return 1;
}

// Editor 1.51.22 with both services.
void MakeHost() {
  Services.ExportHistory = &StandInService;
  Services.ImportHistory = &StandInService;
  Host.MajorVersion = 1;
  Host.MinorVersion = 51;
  Host.BuildNumber = 22;
  Host.OwnerWindow = nullptr;
  Host.Services = &Services;
}

PluginInfo *FreshInfo() {
  for (unsigned char &b : InfoBytes) b = 0;
  return reinterpret_cast<PluginInfo *>(InfoBytes);
}

template <typename Entry>
Entry Find(HMODULE module, const char *name) {
  return reinterpret_cast<Entry>(
      reinterpret_cast<void *>(GetProcAddress(module, name)));
}

void Load(const char *path, Library &library) {
  library.Module = LoadLibraryA(path);
  if (library.Module == nullptr) Fail("cannot be loaded", path);
  library.Install = Find<InstallEntry>(library.Module, "OnInstall");
  library.Call = Find<CallEntry>(library.Module, "OnCall");
  library.Exit = Find<ExitEntry>(library.Module, "OnExit");
  if (!library.Install || !library.Call || !library.Exit) {
    Fail("lacks an entry point", path);
  }
}

void Unload(Library &library) {
  library.Exit();
  FreeLibrary(library.Module);
}

// True when the library imports a file dialog, now the stand-in.
bool ReplaceDialogs(HMODULE module) {
  ReplaceImport(module, "user32.dll", "MessageBoxA",
                reinterpret_cast<void *>(&StandInMessageBox));
  ReplaceImport(module, "user32.dll", "MessageBoxW",
                reinterpret_cast<void *>(&StandInMessageBox));
  const bool save = ReplaceImport(module, "comdlg32.dll", "GetSaveFileNameW",
                                  reinterpret_cast<void *>(&StandInDialog));
  const bool open = ReplaceImport(module, "comdlg32.dll", "GetOpenFileNameW",
                                  reinterpret_cast<void *>(&StandInDialog));
  return save || open;
}

DWORD Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<DWORD>(t.QuadPart);
}

// Before anything is timed: each library accepts the editor, and a command
// reaches the service through the stand-in dialog, so no real dialog can
// open in the timed loops and a broken library is not measured.
void Check(const char *path) {
  Library library;
  Load(path, library);
  const bool hasDialog = ReplaceDialogs(library.Module);
  if (library.Install(FreshInfo(), &Host) != 0) Fail("refused 1.51.22", path);
  if (library.Call() != (hasDialog ? 1 : 0)) {
    Fail("command did not reach the service as expected", path);
  }
  Unload(library);
}

DWORD TimeCycle(const char *path) {
  const DWORD start = Now();
  Library library;
  Load(path, library);
  library.Install(FreshInfo(), &Host);
  Unload(library);
  return Now() - start;
}

DWORD TimeCommands(const char *path, DWORD calls) {
  Library library;
  Load(path, library);
  ReplaceDialogs(library.Module);
  library.Install(FreshInfo(), &Host);
  library.Call();  // the first call may touch pages not yet mapped
  const DWORD start = Now();
  for (DWORD i = 0; i < calls; ++i) library.Call();
  const DWORD ticks = Now() - start;
  Unload(library);
  return ticks;
}

// Splits the command line at blanks outside double quotes, in place.
int SplitArguments() {
  lstrcpynA(CommandLine, GetCommandLineA(), sizeof CommandLine);
  int count = 0;
  char *p = CommandLine;
  while (*p != '\0' && count < static_cast<int>(ARRAYSIZE(Arguments))) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    const bool quoted = *p == '"';
    if (quoted) ++p;
    Arguments[count++] = p;
    while (*p != '\0' && (quoted ? *p != '"' : (*p != ' ' && *p != '\t'))) ++p;
    if (*p != '\0') *p++ = '\0';
  }
  return count;
}

DWORD ParseNumber(const char *text) {
  DWORD value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + *text - '0';
  return value;
}

// A Unix path is reachable through drive Z: under Wine.
const char *WindowsPath(const char *path, char *buffer) {
  int i = 0;
  if (path[0] == '/') {
    buffer[i++] = 'Z';
    buffer[i++] = ':';
  }
  for (; *path != '\0' && i < MAX_PATH - 1; ++path) {
    buffer[i++] = *path == '/' ? '\\' : *path;
  }
  buffer[i] = '\0';
  return buffer;
}

const char *BaseName(const char *path) {
  const char *name = path;
  for (const char *p = path; *p != '\0'; ++p) {
    if (*p == '\\') name = p + 1;
  }
  return name;
}

// The smallest step the timer is seen to take: a time of a few steps says
// little, however fine the frequency it reports.
DWORD Resolution() {
  DWORD smallest = 0xFFFFFFFF;
  for (int i = 0; i < 10000; ++i) {
    const DWORD a = Now();
    DWORD b = Now();
    while (b == a) b = Now();
    if (b - a < smallest) smallest = b - a;
  }
  return smallest;
}

// A stride through the list that shares no factor with its length visits
// every library once.
bool SharesNoFactor(int a, int b) {
  while (b != 0) {
    const int rest = a % b;
    a = b;
    b = rest;
  }
  return a == 1;
}

void RunCycles(DWORD rounds, DWORD calls, int count) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const DWORD resolution = Resolution();
  for (int k = 0; k < count; ++k) Check(Paths[k]);
  int strides[MaxLibraries];
  int strideCount = 0;
  for (int step = 1; step < count || strideCount == 0; ++step) {
    if (SharesNoFactor(step, count)) strides[strideCount++] = step;
  }
  for (DWORD r = 0; r < rounds; ++r) {
    const DWORD stride = strides[r / count % strideCount];
    for (int j = 0; j < count; ++j) {
      const int k = static_cast<int>((r + j * stride) % count);
      CycleTicks[k][r] = TimeCycle(Paths[k]);
      CommandTicks[k][r] = TimeCommands(Paths[k], calls);
    }
  }
  Write("frequency");
  WriteNumber(static_cast<DWORD>(frequency.QuadPart));
  Write("\nresolution");
  WriteNumber(resolution);
  Write("\n");
  for (int k = 0; k < count; ++k) {
    for (DWORD r = 0; r < rounds; ++r) {
      Write("cycle ");
      Write(BaseName(Paths[k]));
      WriteNumber(r);
      WriteNumber(CycleTicks[k][r]);
      Write("\ncommand ");
      Write(BaseName(Paths[k]));
      WriteNumber(r);
      WriteNumber(CommandTicks[k][r]);
      WriteNumber(calls);
      Write("\n");
    }
  }
}

void RunMemory(const char *path) {
  const Memory before = MeasureMemory();
  if (LoadLibraryA(path) == nullptr) Fail("cannot be loaded", path);
  const Memory after = MeasureMemory();
  Write("memory ");
  Write(BaseName(path));
  WriteNumber(before.Private);
  WriteNumber(after.Private);
  WriteNumber(before.Image);
  WriteNumber(after.Image);
  Write("\n");
}

}  // namespace

extern "C" void __cdecl BenchMain() {
  Out = GetStdHandle(STD_OUTPUT_HANDLE);
  LoadLibraryA("user32.dll");
  LoadLibraryA("comdlg32.dll");
  MakeHost();

  const int argc = SplitArguments();
  const char *usage =
      "usage: bench_host cycles ROUNDS CALLS LIBRARY... | memory LIBRARY";
  if (argc >= 3 && lstrcmpA(Arguments[1], "memory") == 0) {
    RunMemory(WindowsPath(Arguments[2], Paths[0]));
    ExitProcess(0);
  }
  if (argc < 5 || lstrcmpA(Arguments[1], "cycles") != 0) Fail(usage, "bench");
  const DWORD rounds = ParseNumber(Arguments[2]);
  const DWORD calls = ParseNumber(Arguments[3]);
  const int count = argc - 4;
  if (rounds == 0 || rounds > MaxRounds || calls == 0 || count > MaxLibraries) {
    Fail(usage, "bench");
  }
  for (int k = 0; k < count; ++k) WindowsPath(Arguments[4 + k], Paths[k]);
  RunCycles(rounds, calls, count);
  ExitProcess(0);
}

// Recording stand-ins for the platform functions a plug-in imports and for
// the editor's two history services. Each test sets what they answer and
// reads back what they were given.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/records.h"

// Wide text the fakes see or write is held here as UTF-8.
struct MessageBoxCall {
  HWND Owner;
  std::string Text;
  std::string Caption;
  UINT Type;
  bool Wide;  // MessageBoxW rather than MessageBoxA
};

struct DialogCall {
  const char *Import;       // which dialog function was called
  OPENFILENAMEW Record;     // the record as the plug-in filled it
  std::wstring FilterText;  // the first 46 letters at lpstrFilter
  std::string FileAtEntry;  // lpstrFile's text when the dialog opened
  bool FileTerminated;      // a NUL within nMaxFile letters at entry
};

struct ServiceCall {
  int Entry;  // 2 for ExportHistory, 3 for ImportHistory
  char *Path;
  std::string PathText;
};

struct Platform {
  // What the fakes answer.
  BOOL DialogResult = FALSE;
  std::wstring DialogWrites;  // copied into lpstrFile when confirming
  UINT CodePage = 1252;       // the ANSI code page GetACP reports
  // The paths that exist, each with the short form GetShortPathNameW gives.
  std::vector<std::pair<std::wstring, std::wstring>> ShortForms;
  bool DialogSpoilsBuffer = false;  // fill lpstrFile without a NUL
  bool DialogSpoilsRecord = false;  // as if the user changed the filter
  int ServiceResult = 1;
  std::function<void()> DuringDialog;  // what the editor does meanwhile

  // What they saw.
  std::vector<MessageBoxCall> Boxes;
  std::vector<DialogCall> Dialogs;
  std::vector<ServiceCall> Services;
};

extern Platform Fakes;  // reset by each test fixture

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption,
                           UINT type);
BOOL WINAPI FakeGetSaveFileNameW(LPOPENFILENAMEW record);
BOOL WINAPI FakeGetOpenFileNameW(LPOPENFILENAMEW record);
UINT WINAPI FakeGetACP();
int WINAPI FakeWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text,
                                   int units, LPSTR out, int room,
                                   LPCCH defaultChar, LPBOOL usedDefault);
DWORD WINAPI FakeGetShortPathNameW(LPCWSTR path, LPWSTR out, DWORD room);
std::string Utf8(const wchar_t *text);
std::wstring Wide(const std::string &utf8);
int __cdecl FakeExportHistory(char *path);
int __cdecl FakeImportHistory(char *path);

// Where the editor puts each field it shares with a plug-in, written here as
// plain numbers and not taken from host/records.h: the fakes build and read
// the records byte by byte at these offsets, so a record declaration that
// drifts from the editor's layout fails the tests instead of carrying them
// along.
namespace Layout {
// HostInfo
constexpr size_t MajorVersion = 4, MinorVersion = 8, BuildNumber = 12,
                 OwnerWindow = 360, Services = 364, HostInfoBytes = 368;
// HostServices
constexpr size_t ExportHistory = 8, ImportHistory = 12, HostServicesBytes = 16;
// PluginInfo; the caption written is 12 characters and its NUL.
constexpr size_t Kind = 4, Caption = 8, CaptionBytes = 13;
}  // namespace Layout

template <typename T>
void Put(void *record, size_t offset, T value) {
  std::memcpy(static_cast<unsigned char *>(record) + offset, &value,
              sizeof value);
}
template <typename T>
T Get(const void *record, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char *>(record) + offset,
              sizeof value);
  return value;
}

// A HostInfo the size the editor passes, every byte not named filled with a
// pattern, pointing at a table of the two fake services.
struct FakeHost {
  alignas(4) unsigned char Table[Layout::HostServicesBytes];
  alignas(4) unsigned char Bytes[Layout::HostInfoBytes];

  HostInfo *Info() {
    return reinterpret_cast<HostInfo *>(Bytes);
  }
  HWND Owner() const {
    return Get<HWND>(Bytes, Layout::OwnerWindow);
  }
  void SetOwner(HWND owner) {
    Put(Bytes, Layout::OwnerWindow, owner);
  }
  void SetServices(const void *table) {
    Put(Bytes, Layout::Services, table);
  }
  // entry: 2 for ExportHistory, 3 for ImportHistory, as ServiceCall::Entry.
  void SetEntry(int entry, HistoryService service) {
    Put(Table, entry == 2 ? Layout::ExportHistory : Layout::ImportHistory,
        service);
  }
};
void MakeHost(FakeHost &host, int major, int minor, int build,
              HWND owner = reinterpret_cast<HWND>(0x00010010));

// A PluginInfo inside a larger buffer, every byte preset to 0x66, so a test
// sees exactly which bytes the plug-in wrote.
struct PluginInfoBuffer {
  alignas(4) unsigned char Bytes[64];
  PluginInfo *Info() {
    return reinterpret_cast<PluginInfo *>(Bytes);
  }
  int Kind() const {
    return Get<int>(Bytes, Layout::Kind);
  }
  const char *Caption() const {
    return reinterpret_cast<const char *>(Bytes + Layout::Caption);
  }
};
void FillPattern(void *p, size_t n, unsigned char value = 0x66);

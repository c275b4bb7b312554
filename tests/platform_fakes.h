// Recording stand-ins for the platform functions a plug-in imports and for
// the editor's two history services. Each test sets what they answer and
// reads back what they were given.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "host/records.h"

struct MessageBoxCall {
  HWND Owner;
  std::string Text;
  std::string Caption;
  UINT Type;
};

struct DialogCall {
  const char *Import;       // which dialog function was called
  OPENFILENAMEA Record;     // the record as the plug-in filled it
  std::string FilterBytes;  // the first 46 bytes at lpstrFilter
  std::string FileAtEntry;  // lpstrFile's text when the dialog opened
  bool FileTerminated;      // a NUL within nMaxFile bytes at entry
};

struct ServiceCall {
  int Entry;  // 2 for ExportHistory, 3 for ImportHistory
  char *Path;
  std::string PathText;
};

struct Platform {
  // What the fakes answer.
  BOOL DialogResult = FALSE;
  std::string DialogWrites;         // copied into lpstrFile when confirming
  bool DialogSpoilsBuffer = false;  // fill lpstrFile without a NUL
  bool DialogSpoilsRecord = false;  // as if the user changed the filter
  int ServiceResult = 1;

  // What they saw.
  std::vector<MessageBoxCall> Boxes;
  std::vector<DialogCall> Dialogs;
  std::vector<ServiceCall> Services;
};

extern Platform Fakes;  // reset by each test fixture

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL WINAPI FakeGetSaveFileNameA(LPOPENFILENAMEA record);
BOOL WINAPI FakeGetOpenFileNameA(LPOPENFILENAMEA record);
int __cdecl FakeExportHistory(char *path);
int __cdecl FakeImportHistory(char *path);

// A HostInfo the size the editor passes, every byte not named filled with a
// pattern, pointing at a table of the two fake services.
struct FakeHost {
  HostServices Table;
  HostInfo Info;
};
void MakeHost(FakeHost &host, int major, int minor, int build,
              HWND owner = reinterpret_cast<HWND>(0x00010010));

// A PluginInfo inside a larger buffer, every byte preset to 0x66, so a test
// sees exactly which bytes the plug-in wrote.
struct PluginInfoBuffer {
  unsigned char Bytes[64];
  PluginInfo *Info() {
    return reinterpret_cast<PluginInfo *>(Bytes);
  }
};
void FillPattern(void *p, size_t n, unsigned char value = 0x66);

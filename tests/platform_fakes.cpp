#include "tests/platform_fakes.h"

#include <cstring>

Platform Fakes;

namespace {

BOOL RecordDialog(const char *import, LPOPENFILENAMEA r) {
  DialogCall call{};
  call.Import = import;
  std::memcpy(&call.Record, r, sizeof call.Record);
  if (r->lpstrFilter) call.FilterBytes.assign(r->lpstrFilter, 46);
  if (r->lpstrFile) {
    const size_t n = strnlen(r->lpstrFile, r->nMaxFile);
    call.FileTerminated = n < r->nMaxFile;
    call.FileAtEntry.assign(r->lpstrFile, n);
  }
  Fakes.Dialogs.push_back(call);
  if (Fakes.DuringDialog) Fakes.DuringDialog();

  if (Fakes.DialogSpoilsRecord) {
    r->nFilterIndex = 2;
    r->Flags = 0xFFFFFFFF;
    r->lpstrFilter = "x\0";
    r->lpstrTitle = "spoilt";
    r->lpstrDefExt = "txt";
  }
  if (Fakes.DialogSpoilsBuffer) std::memset(r->lpstrFile, 'x', r->nMaxFile);
  if (Fakes.DialogResult && !Fakes.DialogWrites.empty()) {
    lstrcpynA(r->lpstrFile, Fakes.DialogWrites.c_str(), r->nMaxFile);
  }
  return Fakes.DialogResult;
}

int RecordService(int entry, char *path) {
  Fakes.Services.push_back({entry, path, path ? path : ""});
  return Fakes.ServiceResult;
}

}  // namespace

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Fakes.Boxes.push_back(
      {owner, text ? text : "(null)", caption ? caption : "(null)", type});
  return IDOK;
}

BOOL WINAPI FakeGetSaveFileNameA(LPOPENFILENAMEA r) {
  return RecordDialog("GetSaveFileNameA", r);
}

BOOL WINAPI FakeGetOpenFileNameA(LPOPENFILENAMEA r) {
  return RecordDialog("GetOpenFileNameA", r);
}

int __cdecl FakeExportHistory(char *path) {
  return RecordService(2, path);
}
int __cdecl FakeImportHistory(char *path) {
  return RecordService(3, path);
}

void FillPattern(void *p, size_t n, unsigned char value) {
  std::memset(p, value, n);
}

void MakeHost(FakeHost &host, int major, int minor, int build, HWND owner) {
  FillPattern(&host, sizeof host, 0x5A);
  Put<void *>(host.Table, 0, nullptr);  // the editor's own entries
  Put<void *>(host.Table, 4, nullptr);
  host.SetEntry(2, &FakeExportHistory);
  host.SetEntry(3, &FakeImportHistory);
  Put(host.Bytes, Layout::MajorVersion, major);
  Put(host.Bytes, Layout::MinorVersion, minor);
  Put(host.Bytes, Layout::BuildNumber, build);
  host.SetOwner(owner);
  host.SetServices(host.Table);
}

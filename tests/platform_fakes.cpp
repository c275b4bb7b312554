#include "tests/platform_fakes.h"

#include <cstring>

Platform Fakes;

namespace {

BOOL RecordDialog(const char *import, LPOPENFILENAMEW r) {
  DialogCall call{};
  call.Import = import;
  std::memcpy(&call.Record, r, sizeof call.Record);
  if (r->lpstrFilter) call.FilterText.assign(r->lpstrFilter, 46);
  if (r->lpstrFile) {
    const size_t n = wcsnlen(r->lpstrFile, r->nMaxFile);
    call.FileTerminated = n < r->nMaxFile;
    call.FileAtEntry = Utf8(std::wstring(r->lpstrFile, n).c_str());
  }
  Fakes.Dialogs.push_back(call);
  if (Fakes.DuringDialog) Fakes.DuringDialog();

  if (Fakes.DialogSpoilsRecord) {
    r->nFilterIndex = 2;
    r->Flags = 0xFFFFFFFF;
    r->lpstrFilter = L"x\0";
    r->lpstrTitle = L"spoilt";
    r->lpstrDefExt = L"txt";
  }
  if (Fakes.DialogSpoilsBuffer) wmemset(r->lpstrFile, L'x', r->nMaxFile);
  if (Fakes.DialogResult && !Fakes.DialogWrites.empty()) {
    lstrcpynW(r->lpstrFile, Fakes.DialogWrites.c_str(), r->nMaxFile);
  }
  return Fakes.DialogResult;
}

int RecordService(int entry, char *path) {
  Fakes.Services.push_back({entry, path, path ? path : ""});
  return Fakes.ServiceResult;
}

}  // namespace

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Fakes.Boxes.push_back({owner, text ? text : "(null)",
                         caption ? caption : "(null)", type, false});
  return IDOK;
}

int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption,
                           UINT type) {
  Fakes.Boxes.push_back({owner, text ? Utf8(text) : "(null)",
                         caption ? Utf8(caption) : "(null)", type, true});
  return IDOK;
}

BOOL WINAPI FakeGetSaveFileNameW(LPOPENFILENAMEW r) {
  return RecordDialog("GetSaveFileNameW", r);
}

BOOL WINAPI FakeGetOpenFileNameW(LPOPENFILENAMEW r) {
  return RecordDialog("GetOpenFileNameW", r);
}

UINT WINAPI FakeGetACP() {
  return Fakes.CodePage;
}

DWORD WINAPI FakeGetShortPathNameW(LPCWSTR path, LPWSTR out, DWORD room) {
  for (const auto &[whole, brief] : Fakes.ShortForms) {
    if (whole != path) continue;
    if (brief.size() >= room) return static_cast<DWORD>(brief.size() + 1);
    lstrcpyW(out, brief.c_str());
    return static_cast<DWORD>(brief.size());
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

// The platform's own conversion, refusing what Windows refuses and Wine lets
// pass: UTF-8 takes no flag but WC_ERR_INVALID_CHARS and no default
// character.
int WINAPI FakeWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text,
                                   int units, LPSTR out, int room,
                                   LPCCH defaultChar, LPBOOL usedDefault) {
  if (codePage == CP_UTF8 &&
      ((flags & ~WC_ERR_INVALID_CHARS) || defaultChar || usedDefault)) {
    SetLastError(flags & ~WC_ERR_INVALID_CHARS ? ERROR_INVALID_FLAGS
                                               : ERROR_INVALID_PARAMETER);
    return 0;
  }
  return WideCharToMultiByte(codePage, flags, text, units, out, room,
                             defaultChar, usedDefault);
}

std::string Utf8(const wchar_t *text) {
  char bytes[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr,
                      nullptr);
  return bytes;
}

std::wstring Wide(const std::string &utf8) {
  wchar_t letters[2048] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, letters, 2048);
  return letters;
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

#include "editor/recovery.h"

#include <windows.h>

namespace {

constexpr wchar_t HistoryName[] = L"\\history.ini",
                  StatementName[] = L"\\statement.txt";

// The editor's folder for work it keeps, made if missing; empty when the
// system names no folder for a program's local files.
std::wstring KeptRoot() {
  wchar_t base[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring root = std::wstring(base) + L"\\Stand-in SQL editor";
  CreateDirectoryW(root.c_str(), nullptr);
  root += L"\\Recovered work";
  CreateDirectoryW(root.c_str(), nullptr);
  return root;
}

std::string Error(const char *doing) {
  return std::string(doing) + " (error " + std::to_string(GetLastError()) + ")";
}

// The whole file is written and on the disk, or false.
bool WriteWhole(const std::wstring &path, const void *bytes, size_t size) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(f, bytes, static_cast<DWORD>(size), &written, nullptr) &&
      written == size && FlushFileBuffers(f);
  CloseHandle(f);
  return ok;
}

bool ReadWhole(const std::wstring &path, std::string &bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(f, nullptr);
  bytes.resize(size);
  DWORD read = 0;
  const bool ok = size != INVALID_FILE_SIZE &&
                  (size == 0 || ReadFile(f, &bytes[0], size, &read, nullptr)) &&
                  read == size;
  CloseHandle(f);
  return ok;
}

bool Exists(const std::wstring &path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool KeepWork(const History *history, const std::wstring *statement,
              std::wstring &where, std::string &error) {
  const std::wstring root = KeptRoot();
  if (root.empty()) {
    error = "the system names no folder for the editor's files";
    return false;
  }
  // A new folder each time: one kept before is never written over.
  for (unsigned n = 1; where.empty(); ++n) {
    const std::wstring folder = root + L"\\" + std::to_wstring(n);
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      where = folder;
    } else if (GetLastError() != ERROR_ALREADY_EXISTS || n == 100000) {
      error = Error("no folder could be made for it");
      return false;
    }
  }
  if (history) {
    const std::string text = FormatHistory(*history);
    if (!WriteWhole(where + HistoryName, text.data(), text.size())) {
      error = Error("the history could not be written");
      return false;
    }
  }
  // As UTF-16, marked so: every letter typed, whatever the code page holds.
  if (statement) {
    const std::wstring text = L"\xFEFF" + *statement;
    if (!WriteWhole(where + StatementName, text.data(),
                    text.size() * sizeof(wchar_t))) {
      error = Error("the statement could not be written");
      return false;
    }
  }
  return true;
}

KeptWork OldestKeptWork(std::string &error) {
  KeptWork kept;
  const std::wstring root = KeptRoot();
  if (root.empty()) return kept;
  // Numbered from 1 as they were kept: the lowest is the oldest.
  unsigned oldest = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return kept;
  do {
    const std::wstring name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.empty() ||
        name.size() > 9 || name.find_first_not_of(L"0123456789") != name.npos)
      continue;
    const unsigned n = std::stoul(name);
    if (n && (!oldest || n < oldest)) oldest = n;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  if (!oldest) return kept;
  kept.Folder = root + L"\\" + std::to_wstring(oldest);
  std::string bytes;
  kept.HasHistory = Exists(kept.Folder + HistoryName);
  if (kept.HasHistory && !(ReadWhole(kept.Folder + HistoryName, bytes) &&
                           ParseHistory(bytes, kept.Entries, error))) {
    if (error.empty()) error = Error("its history could not be read");
    kept.Folder.clear();
    return kept;
  }
  kept.HasStatement = Exists(kept.Folder + StatementName);
  if (!kept.HasHistory && !kept.HasStatement) {  // holds nothing: gone
    RemoveDirectoryW(kept.Folder.c_str());
    return OldestKeptWork(error);
  }
  if (kept.HasStatement) {
    if (!ReadWhole(kept.Folder + StatementName, bytes) || bytes.size() < 2 ||
        bytes.size() % 2) {
      error = Error("its statement could not be read");
      kept.Folder.clear();
      return kept;
    }
    kept.Statement.assign(reinterpret_cast<const wchar_t *>(bytes.data()) + 1,
                          bytes.size() / 2 - 1);
  }
  return kept;
}

void ForgetKeptWork(const KeptWork &kept) {
  DeleteFileW((kept.Folder + HistoryName).c_str());
  DeleteFileW((kept.Folder + StatementName).c_str());
  RemoveDirectoryW(kept.Folder.c_str());
}

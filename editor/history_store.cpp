#include "editor/history_store.h"

#include <windows.h>

#include <cstdio>

namespace {

std::string SystemMessage(DWORD code) {
  char text[256] = {};
  DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, text, sizeof text, nullptr);
  while (n > 0 &&
         (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) {
    text[--n] = '\0';
  }
  return n ? std::string(text) : "error " + std::to_string(code);
}

// Creates a new file beside the target whose name is no longer than the
// target's own, so its path fits wherever the target's does (the plug-ins
// hand over paths right up to the platform's limit). CREATE_NEW never opens
// a file that is already there, and a fresh name per save keeps two saves
// from sharing one temporary file.
HANDLE CreateTemporaryBeside(const std::string &path, std::string &temp,
                             DWORD &error) {
  const size_t start = NameStart(path);
  const std::string folder = path.substr(0, start);
  const size_t length = path.size() - start;
  // "~" and up to eight hex digits, ".tmp" after them where that still fits
  // (names of 13 characters and more); beside a one-character name one hex
  // digit alone, never the target's own. No device is called any of these.
  const bool extension = length >= 13;
  const int digits = length > 9 ? 8 : length > 1 ? int(length) - 1 : 1;
  const unsigned long long names = 1ull << (4 * digits);
  const unsigned long long first =
      (GetCurrentProcessId() * 2654435761ull) ^ GetTickCount();
  const unsigned tries = names < 64 ? unsigned(names) : 64;
  error = ERROR_FILE_EXISTS;
  for (unsigned i = 0; i < tries; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%0*llX%s", length > 1 ? "~" : "",
                  digits, (first + i) % names, extension ? ".tmp" : "");
    if (lstrcmpiA(name, path.c_str() + start) == 0) continue;
    temp = folder + name;
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    error = GetLastError();
    // A folder of that name answers "access denied".
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// Why the target could not be replaced, in words for the status line.
std::string ReplaceError(const std::string &path, DWORD code) {
  if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
    // Replacing needs what deleting needs: a handle that shares nothing
    // refuses this too.
    HANDLE probe =
        CreateFileA(path.c_str(), DELETE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
    } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
      return path + " is in use by another program";
    }
  }
  return "cannot replace " + path + ": " + SystemMessage(code);
}

}  // namespace

size_t NameStart(const std::string &path, UINT codePage) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const BYTE c = static_cast<BYTE>(path[i]);
    if (IsDBCSLeadByteEx(codePage, c) && i + 1 < path.size()) {
      ++i;  // the trail byte may look like any separator
    } else if (c == '\\' || c == '/' || c == ':') {
      start = i + 1;
    }
  }
  return start;
}

bool SaveHistoryFile(const char *path, const History &history,
                     std::string &error) {
  if (!path || !*path) {
    error = "no file name was given";
    return false;
  }
  const std::string target = path;
  if (NameStart(target) == target.size()) {
    error = target + " names no file";
    return false;
  }
  // A file the loader would refuse is not worth writing over a good one.
  if (history.size() > MaxHistoryEntries) {
    error = "the history has too many entries to save (" +
            std::to_string(history.size()) + ", at most " +
            std::to_string(MaxHistoryEntries) + ")";
    return false;
  }
  const std::string text = FormatHistory(history);
  if (text.size() > MaxHistoryFileBytes) {
    error = "the history is too large to save (" + std::to_string(text.size()) +
            " bytes, at most " + std::to_string(MaxHistoryFileBytes) + ")";
    return false;
  }
  // The platform refuses to replace a read-only file; say so before writing
  // anything, whatever the file system underneath would allow.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      error = target + " is a folder";
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      error = target + " is read-only";
      return false;
    }
  }

  std::string temp;
  DWORD createError = 0;
  HANDLE file = CreateTemporaryBeside(target, temp, createError);
  if (file == INVALID_HANDLE_VALUE) {
    error = createError == ERROR_PATH_NOT_FOUND
                ? "the folder of " + target + " does not exist"
                : "cannot write beside " + target + ": " +
                      SystemMessage(createError);
    return false;
  }
  DWORD written = 0;
  BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()),
                      &written, nullptr);
  DWORD writeError = ok ? 0 : GetLastError();
  if (ok && written != text.size()) {
    ok = FALSE;
    writeError = ERROR_DISK_FULL;  // a short write on a disk file
  }
  if (ok && !FlushFileBuffers(file)) {
    ok = FALSE;
    writeError = GetLastError();
  }
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(temp.c_str());
    error =
        "writing beside " + target + " failed: " + SystemMessage(writeError);
    return false;
  }
  if (!MoveFileExA(temp.c_str(), path,
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD moveError = GetLastError();
    DeleteFileA(temp.c_str());
    error = ReplaceError(target, moveError);
    return false;
  }
  return true;
}

bool LoadHistoryFile(const char *path, History &history, std::string &error) {
  if (!path || !*path) {
    error = "no file name was given";
    return false;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot open " + std::string(path) + ": " +
            SystemMessage(GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    error = "cannot read " + std::string(path) + ": " +
            SystemMessage(GetLastError());
    CloseHandle(file);
    return false;
  }
  if (size.QuadPart > static_cast<LONGLONG>(MaxHistoryFileBytes)) {
    CloseHandle(file);
    error = "the file is too large to be a history file (" +
            std::to_string(size.QuadPart) + " bytes, at most " +
            std::to_string(MaxHistoryFileBytes) + ")";
    return false;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  const BOOL ok =
      text.empty() ||
      ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  const DWORD readError = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (!ok || read != text.size()) {
    error = "reading " + std::string(path) + " failed" +
            (ok ? std::string(" (it changed while being read)")
                : ": " + SystemMessage(readError));
    return false;
  }
  return ParseHistory(text, history, error);
}

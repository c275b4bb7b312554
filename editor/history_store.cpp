#include "editor/history_store.h"

#include <windows.h>

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

}  // namespace

bool SaveHistoryFile(const char *path, const History &history,
                     std::string &error) {
  const std::string text = FormatHistory(history);
  const std::string temp = std::string(path) + ".saving";
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot write beside " + std::string(path) + ": " +
            SystemMessage(GetLastError());
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()),
                            &written, nullptr) &&
                  written == text.size() && FlushFileBuffers(file);
  const DWORD writeError = GetLastError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(temp.c_str());
    error = "writing the history failed: " + SystemMessage(writeError);
    return false;
  }
  if (!MoveFileExA(temp.c_str(), path,
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD moveError = GetLastError();
    DeleteFileA(temp.c_str());
    error =
        "cannot replace " + std::string(path) + ": " + SystemMessage(moveError);
    return false;
  }
  return true;
}

bool LoadHistoryFile(const char *path, History &history, std::string &error) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot open " + std::string(path) + ": " +
            SystemMessage(GetLastError());
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) ||
      size.QuadPart > static_cast<LONGLONG>(MaxHistoryFileBytes)) {
    CloseHandle(file);
    error = "the file is too large to be a history file";
    return false;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  const BOOL ok =
      text.empty() ||
      ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  if (!ok || read != text.size()) {
    error = "reading " + std::string(path) + " failed";
    return false;
  }
  return ParseHistory(text, history, error);
}

#include "editor/transcript.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

bool Usable(DWORD handle) {
  HANDLE h = GetStdHandle(handle);
  return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void OpenTranscript() {
  if (!Usable(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
    if (!Usable(STD_ERROR_HANDLE)) std::freopen("CONOUT$", "w", stderr);
  }
  // Lines end in \n alone, whatever reads them.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void Say(const std::string &line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void SayLiteral(const char *line) noexcept {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Quote(const std::string &s) {
  return "\"" + s + "\"";
}

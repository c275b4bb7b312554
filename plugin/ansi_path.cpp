#include "plugin/ansi_path.h"

namespace {

// The short path is built here, not on the stack: a frame stays far below
// the stack's guard page.
wchar_t ShortPath[MAX_PATH];

// Converts units letters of path (-1: up to and with its NUL) into out, of
// room bytes, when each has an exact form in the ANSI code page. Best-fit
// look-alikes and the default character both name another file, so either
// fails. UTF-8 holds every letter but refuses both checks: there only a
// lone surrogate fails.
bool ToAnsi(const wchar_t *path, int units, char *out, int room) {
  const UINT codePage = GetACP();
  BOOL lossy = FALSE;
  const int bytes =
      codePage == CP_UTF8
          ? WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, path, units,
                                out, room, nullptr, nullptr)
          : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, path, units,
                                out, room, nullptr, &lossy);
  return bytes > 0 && !lossy;
}

bool HasShortForm(const wchar_t *path) {
  const DWORD units = GetShortPathNameW(path, ShortPath, MAX_PATH);
  return units > 0 && units < MAX_PATH;
}

}  // namespace

bool ExactAnsiPath(const wchar_t *chosen, char *out) {
  if (ToAnsi(chosen, -1, out, MAX_PATH)) return true;
  // A file that exists: its own short form.
  if (HasShortForm(chosen) && ToAnsi(ShortPath, -1, out, MAX_PATH)) {
    return true;
  }
  // A file to be made: its folder's short form, then the name as chosen.
  const wchar_t *name = nullptr;
  for (const wchar_t *p = chosen; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  if (name == nullptr) return false;
  wchar_t *end = ShortPath;
  for (const wchar_t *p = chosen; p < name; ++p) *end++ = *p;
  end[-1] = L'\0';  // the folder without its separator
  if (!HasShortForm(ShortPath)) return false;
  for (end = ShortPath; *end; ++end) {
  }
  *end++ = L'\\';
  for (const wchar_t *p = name; end < ShortPath + MAX_PATH; ++p) {
    if ((*end++ = *p) == L'\0') return ToAnsi(ShortPath, -1, out, MAX_PATH);
  }
  return false;  // too long for the dialog's own buffer
}

const wchar_t *FirstUnusableLetter(const wchar_t *path, int &units) {
  for (; *path; path += units) {
    units = IS_HIGH_SURROGATE(path[0]) && IS_LOW_SURROGATE(path[1]) ? 2 : 1;
    char bytes[8];  // any one letter's form in any code page
    if (!ToAnsi(path, units, bytes, sizeof bytes)) return path;
  }
  return nullptr;
}

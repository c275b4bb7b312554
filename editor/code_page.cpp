#include "editor/code_page.h"

namespace {

// Converts units letters into out (room bytes; 0 only counts them) when
// each has an exact form in the ANSI code page: 0 otherwise. Best-fit
// look-alikes and the default character would store another statement.
// UTF-8 holds every letter but refuses both checks: there only a lone
// surrogate fails.
int ToAnsi(const wchar_t *text, int units, char *out, int room) {
  const UINT codePage = GetACP();
  BOOL lossy = FALSE;
  const int bytes =
      codePage == CP_UTF8
          ? WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, text, units,
                                out, room, nullptr, nullptr)
          : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, units,
                                out, room, nullptr, &lossy);
  return lossy ? 0 : bytes;
}

}  // namespace

bool ExactAnsi(const std::wstring &text, std::string &out, std::string &why) {
  out.clear();
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int bytes = ToAnsi(text.data(), size, nullptr, 0);
  if (bytes > 0) {
    out.resize(bytes);
    if (ToAnsi(text.data(), size, &out[0], bytes) == bytes) return true;
    out.clear();
  }
  for (size_t at = 0, units; at < text.size(); at += units) {
    const wchar_t *c = text.data() + at;
    units = IS_HIGH_SURROGATE(c[0]) && at + 1 < text.size() &&
                    IS_LOW_SURROGATE(c[1])
                ? 2
                : 1;
    char letter[8];  // any one letter's form in any code page
    const int n = ToAnsi(c, static_cast<int>(units), letter, sizeof letter);
    if (n > 0) {
      out.append(letter, n);
      continue;
    }
    out += '?';
    if (!why.empty()) continue;
    const unsigned code =
        units == 2 ? 0x10000 + ((c[0] - 0xD800u) << 10) + (c[1] - 0xDC00u)
                   : static_cast<unsigned>(c[0]);
    char name[12];
    wsprintfA(name, "U+%04X", code);
    why = "it holds a character that the ANSI code page " +
          std::to_string(GetACP()) + " cannot hold (" + name + ")";
  }
  return false;
}

std::wstring WideFromAnsi(const std::string &bytes) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int units =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(units > 0 ? units : 0, L'\0');
  if (units > 0)
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &text[0], units);
  return text;
}

size_t WholeCharacters(const std::string &bytes, size_t n) {
  if (n >= bytes.size()) return bytes.size();
  const UINT codePage = GetACP();
  size_t at = 0;
  while (at < n) {
    const unsigned char b = bytes[at];
    size_t length = 1;
    if (codePage == CP_UTF8) {
      length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    } else if (IsDBCSLeadByteEx(codePage, b)) {
      length = 2;
    }
    if (at + length > n) break;
    at += length;
  }
  return at;
}

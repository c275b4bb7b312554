#include "plugin/file_chooser.h"

#include "plugin/ansi_path.h"
#include "plugin/module_state.h"
#include "plugin/variant.h"

char HistoryPath[MAX_PATH];
wchar_t ChosenPath[MAX_PATH];
OPENFILENAMEW FileDialogRecord;

namespace {

// Two description/pattern pairs, each string NUL-terminated, the list ended
// by an empty string; the literal's own NUL pads it to 46 letters.
constexpr wchar_t FilterList[] =
    L"INI files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0\0";
constexpr DWORD FilterLetters = sizeof FilterList / sizeof FilterList[0];
static_assert(FilterLetters == 46, "four strings and the closing NUL");

// The list is written as 32-bit words worked out at compile time, two
// letters a word: copied letter by letter from a table it took a loop of
// 46 rounds, two thirds as long as all the rest of a command.
using Word = DWORD __attribute__((may_alias, aligned(1)));
constexpr DWORD FilterWords = FilterLetters / 2;
static_assert(FilterLetters % 2 == 0, "whole words");

constexpr DWORD FilterWord(DWORD i) {
  return static_cast<DWORD>(FilterList[2 * i]) |
         static_cast<DWORD>(FilterList[2 * i + 1]) << 16;
}

// The record's earlier layout, without the three trailing fields: every
// platform version accepts it.
constexpr DWORD OpenFileNameSize = 76;
static_assert(offsetof(OPENFILENAMEW, pvReserved) == OpenFileNameSize,
              "the short layout ends where the reserved fields begin");

// The box that says why a path the person chose cannot be handed on.
wchar_t BoxText[160];
wchar_t BoxCaption[32];

wchar_t *Append(wchar_t *to, const wchar_t *text) {
  while (*text) *to++ = *text++;
  return to;
}

void TellUnusable(HWND owner) {
  int units = 0;
  const wchar_t *letter = FirstUnusableLetter(ChosenPath, units);
  wchar_t *end = BoxText;
  if (letter == nullptr) {
    end = Append(end, L"The path is too long for the editor.");
  } else {
    end = Append(end,
                 L"The name or folder holds a letter the editor cannot use: ");
    DWORD code = letter[0];
    *end++ = letter[0];
    if (units == 2) {
      *end++ = letter[1];
      code = 0x10000 + ((code - 0xD800) << 10) + (letter[1] - 0xDC00);
    }
    end = Append(end, L" (U+");
    int digits = code > 0xFFFF ? (code > 0xFFFFF ? 6 : 5) : 4;
    while (digits--) *end++ = L"0123456789ABCDEF"[(code >> (4 * digits)) & 15];
    end = Append(end, L").");
  }
  *Append(end, L"\n\nChoose another name or folder.") = L'\0';
  const char *from = Variant.ErrorCaption;
  wchar_t *to = BoxCaption;
  while ((*to++ = static_cast<unsigned char>(*from++)) != L'\0') {
  }
  MessageBoxW(owner, BoxText, BoxCaption, MB_OK | MB_ICONERROR);
}

BOOL ShowDialog(HWND owner) {
  alignas(4) wchar_t filter[FilterLetters];
#pragma GCC unroll 24
  for (DWORD i = 0; i < FilterWords; ++i) {
    reinterpret_cast<Word *>(filter)[i] = FilterWord(i);
  }

  // A failed dialog may leave the buffer unterminated; the next dialog must
  // not read past it.
  ChosenPath[MAX_PATH - 1] = L'\0';

  // With the record's address in a register rather than written into every
  // store, each store is 2 or 3 bytes shorter.
  OPENFILENAMEW *record = &FileDialogRecord;
  asm("" : "+r"(record));
  OPENFILENAMEW &r = *record;
  r.lStructSize = OpenFileNameSize;
  r.hwndOwner = owner;
  r.hInstance = ModuleHandle;
  r.lpstrFilter = filter;
  r.lpstrCustomFilter = nullptr;
  r.nMaxCustFilter = 0;
  r.nFilterIndex = 1;
  r.lpstrFile = ChosenPath;
  r.nMaxFile = MAX_PATH;
  r.lpstrFileTitle = nullptr;
  r.nMaxFileTitle = 0;
  r.lpstrInitialDir = nullptr;
  r.lpstrTitle = Variant.DialogTitle;
  r.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  r.nFileOffset = 0;
  r.nFileExtension = 0;
  r.lpstrDefExt = L"ini";
  r.lCustData = 0;
  r.lpfnHook = nullptr;
  r.lpTemplateName = nullptr;

  if constexpr (Variant.Dialog == FileDialog::Save) {
    return GetSaveFileNameW(&r);
  } else {
    return GetOpenFileNameW(&r);
  }
}

}  // namespace

BOOL ChooseHistoryFile(HWND owner) {
  // The dialog is the wide one, so that no letter of the chosen path is
  // lost before it can be checked; the person is asked again until the
  // path has an exact ANSI form or the dialog is cancelled.
  for (;;) {
    const BOOL chosen = ShowDialog(owner);
    if (!chosen) return chosen;
    if (ExactAnsiPath(ChosenPath, HistoryPath)) return chosen;
    TellUnusable(owner);
  }
}

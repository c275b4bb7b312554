#include "plugin/file_chooser.h"

#include "plugin/module_state.h"
#include "plugin/variant.h"

char HistoryPath[MAX_PATH];
OPENFILENAMEA FileDialogRecord;

namespace {

// Two description/pattern pairs, each string NUL-terminated, the list ended
// by an empty string; the literal's own NUL pads it to 46 bytes.
constexpr char FilterList[] =
    "INI files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0\0";
constexpr DWORD FilterBytes = sizeof FilterList;
static_assert(FilterBytes == 46, "four strings and the closing NUL");

// The list is written as 32-bit words worked out at compile time, a dozen
// stores in all: copied byte by byte from a table it took a loop of 46
// rounds, two thirds as long as all the rest of a command.
using Word = DWORD __attribute__((may_alias, aligned(1)));
using HalfWord = WORD __attribute__((may_alias, aligned(1)));
constexpr DWORD FilterWords = FilterBytes / 4;
static_assert(FilterBytes % 4 == 2, "whole words and one half word");

constexpr DWORD FilterByte(DWORD i) {
  return static_cast<unsigned char>(FilterList[i]);
}
constexpr DWORD FilterWord(DWORD i) {
  return FilterByte(4 * i) | FilterByte(4 * i + 1) << 8 |
         FilterByte(4 * i + 2) << 16 | FilterByte(4 * i + 3) << 24;
}

// The record's earlier layout, without the three trailing fields: every
// platform version accepts it.
constexpr DWORD OpenFileNameSize = 76;
static_assert(offsetof(OPENFILENAMEA, pvReserved) == OpenFileNameSize,
              "the short layout ends where the reserved fields begin");

}  // namespace

BOOL ChooseHistoryFile(HWND owner) {
  alignas(4) char filter[FilterBytes];
#pragma GCC unroll 16
  for (DWORD i = 0; i < FilterWords; ++i) {
    reinterpret_cast<Word *>(filter)[i] = FilterWord(i);
  }
  *reinterpret_cast<HalfWord *>(filter + 4 * FilterWords) = static_cast<WORD>(
      FilterByte(4 * FilterWords) | FilterByte(4 * FilterWords + 1) << 8);

  // A failed dialog may leave the buffer unterminated; the next dialog must
  // not read past it.
  HistoryPath[MAX_PATH - 1] = '\0';

  // With the record's address in a register rather than written into every
  // store, each store is 2 or 3 bytes shorter and the code stays within
  // one 512-byte section of the file.
  OPENFILENAMEA *record = &FileDialogRecord;
  asm("" : "+r"(record));
  OPENFILENAMEA &r = *record;
  r.lStructSize = OpenFileNameSize;
  r.hwndOwner = owner;
  r.hInstance = ModuleHandle;
  r.lpstrFilter = filter;
  r.lpstrCustomFilter = nullptr;
  r.nMaxCustFilter = 0;
  r.nFilterIndex = 1;
  r.lpstrFile = HistoryPath;
  r.nMaxFile = MAX_PATH;
  r.lpstrFileTitle = nullptr;
  r.nMaxFileTitle = 0;
  r.lpstrInitialDir = nullptr;
  r.lpstrTitle = Variant.DialogTitle;
  r.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  r.nFileOffset = 0;
  r.nFileExtension = 0;
  r.lpstrDefExt = "ini";
  r.lCustData = 0;
  r.lpfnHook = nullptr;
  r.lpTemplateName = nullptr;

  if constexpr (Variant.Dialog == FileDialog::Save) {
    return GetSaveFileNameA(&r);
  } else {
    return GetOpenFileNameA(&r);
  }
}

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

// The record's earlier layout, without the three trailing fields: every
// platform version accepts it.
constexpr DWORD OpenFileNameSize = 76;
static_assert(offsetof(OPENFILENAMEA, pvReserved) == OpenFileNameSize,
              "the short layout ends where the reserved fields begin");

}  // namespace

BOOL ChooseHistoryFile(HWND owner) {
  char filter[FilterBytes];
  for (DWORD i = 0; i < FilterBytes; ++i) filter[i] = FilterList[i];

  // A failed dialog may leave the buffer unterminated; the next dialog must
  // not read past it.
  HistoryPath[MAX_PATH - 1] = '\0';

  OPENFILENAMEA &r = FileDialogRecord;
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

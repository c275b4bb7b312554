#include "editor/statement_box.h"

#include "editor/code_page.h"
#include "editor/history_model.h"

namespace {

struct StatementBoxState {
  HWND Window = nullptr;
  // Its text when it last held nothing of the person's own: after a run or
  // a recall, or empty at the start.
  std::wstring Settled;
  // The entry last recalled, as stored, and the text the box showed it as.
  // A double-byte code page does not turn every entry's bytes into letters
  // and back (a lone lead byte, say): run while the box still shows exactly
  // that text, it stores these bytes.
  std::string RecalledBytes;
  std::wstring RecalledText;
} Box;

std::wstring BoxText() {
  std::wstring text(GetWindowTextLengthW(Box.Window) + 1, L'\0');
  text.resize(
      GetWindowTextW(Box.Window, &text[0], static_cast<int>(text.size())));
  return text;
}

// What Run would store: the recalled entry's own bytes while the box shows
// it unchanged, else the box's text in the ANSI code page.
bool BoxBytes(std::string &out, std::string &why) {
  const std::wstring text = BoxText();
  if (!Box.RecalledText.empty() && text == Box.RecalledText) {
    out = Box.RecalledBytes;
    return true;
  }
  return ExactAnsi(text, out, why);
}

// Replaces the box's text as typing over it would be: Ctrl+Z brings back
// what it held.
void ReplaceBoxText(const std::wstring &text) {
  SendMessageW(Box.Window, EM_SETSEL, 0, -1);
  SendMessageW(Box.Window, EM_REPLACESEL, TRUE,
               reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageW(Box.Window, EM_SETSEL, 0, -1);
  SetFocus(Box.Window);
}

}  // namespace

HWND CreateStatementBox(HWND parent, int id, HFONT font) {
  // A wide box: it holds what was typed, even letters the ANSI code page
  // lacks, so that such a statement can be refused rather than changed.
  Box.Window = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
          ES_AUTOVSCROLL | ES_WANTRETURN,
      0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      GetModuleHandleA(nullptr), nullptr);
  SendMessageA(Box.Window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageA(Box.Window, EM_SETLIMITTEXT, 0, 0);  // as long as it gets
  return Box.Window;
}

bool StatementUnrun() {
  const std::wstring text = BoxText();
  return text.find_first_not_of(L" \t\r\n") != std::wstring::npos &&
         text != Box.Settled;
}

std::string StatementText() {
  std::string text, why;
  BoxBytes(text, why);  // what it cannot hold shows as '?'
  return text;
}

void SetStatementText(const std::string &text) {
  ReplaceBoxText(WideFromAnsi(text));
}

void RunStatementBox() {
  const std::wstring typed = BoxText();
  std::string statement, why;
  if (!BoxBytes(statement, why)) {
    SetStatus("Not run, the statement stays in its box: " + why +
              "; nothing was added to the history");
    return;
  }
  if (RunStatement(statement)) Box.Settled = typed;
  // As typed it stays, selected: the next statement typed replaces it.
  SendMessageA(Box.Window, EM_SETSEL, 0, -1);
}

void RecallIntoBox(size_t number) {
  std::string text;
  if (!RecallEntry(number, text)) return;
  ReplaceBoxText(WideFromAnsi(text));
  Box.Settled = Box.RecalledText = BoxText();
  Box.RecalledBytes = text;
}

std::wstring StatementWide() {
  return BoxText();
}

void PutBackStatement(const std::wstring &text) {
  ReplaceBoxText(text);
  Box.Settled.clear();  // the person's, whatever the box held before
}

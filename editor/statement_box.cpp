#include "editor/statement_box.h"

#include "editor/history_model.h"

namespace {

struct StatementBoxState {
  HWND Window = nullptr;
  // Its text when it last held nothing of the person's own: after a run or
  // a recall, or empty at the start.
  std::wstring Settled;
} Box;

std::wstring BoxText() {
  std::wstring text(GetWindowTextLengthW(Box.Window) + 1, L'\0');
  text.resize(
      GetWindowTextW(Box.Window, &text[0], static_cast<int>(text.size())));
  return text;
}

// The text in the ANSI code page, exactly, or `why` says what it cannot hold.
bool Ansi(const std::wstring &text, std::string &out, std::string &why) {
  out.clear();
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size,
                          nullptr, 0, nullptr, &lossy);
  out.resize(bytes);
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, &out[0],
                      bytes, nullptr, &lossy);
  if (!lossy) return true;
  for (wchar_t c : text) {
    char byte[4];
    BOOL missing = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, byte, sizeof byte,
                        nullptr, &missing);
    if (!missing) continue;
    char code[8];
    wsprintfA(code, "U+%04X", static_cast<unsigned>(c));
    why = "it holds a character that the ANSI code page " +
          std::to_string(GetACP()) + " cannot hold (" + code + ")";
    break;
  }
  return false;
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
  Ansi(BoxText(), text, why);  // what it cannot hold shows as '?'
  return text;
}

void SetStatementText(const std::string &text) {
  // Replaced as typing over it would be: Ctrl+Z brings back what it held.
  SendMessageA(Box.Window, EM_SETSEL, 0, -1);
  SendMessageA(Box.Window, EM_REPLACESEL, TRUE,
               reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(Box.Window, EM_SETSEL, 0, -1);
  SetFocus(Box.Window);
}

void RunStatementBox() {
  const std::wstring typed = BoxText();
  std::string statement, why;
  if (!Ansi(typed, statement, why)) {
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
  SetStatementText(text);
  Box.Settled = BoxText();
}

std::wstring StatementWide() {
  return BoxText();
}

void PutBackStatement(const std::wstring &text) {
  SendMessageW(Box.Window, EM_SETSEL, 0, -1);
  SendMessageW(Box.Window, EM_REPLACESEL, TRUE,
               reinterpret_cast<LPARAM>(text.c_str()));
  Box.Settled.clear();  // the person's, whatever the box held before
}

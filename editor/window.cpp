#include "editor/window.h"

#include <algorithm>

#include "editor/history_model.h"
#include "editor/plugin_commands.h"

namespace {

// Controls, created in this order, which is also the Tab order; each label
// comes just before the control its mnemonic moves to.
enum : int {
  StatementLabelId = 10,
  StatementId,
  HistoryLabelId,
  ListId,
  StatusId,
};
// Commands; the Run button sends RunStatementCommand too.
enum : int {
  RunStatementCommand = 20,
  RecallCommand,
  DeleteCommand,
  ClearCommand,
  ExitCommand = 99,
};

constexpr int Margin = 6, LabelHeight = 16, ButtonWidth = 80, ButtonHeight = 26,
              StatusHeight = 22;
constexpr size_t ShownBytes = 400;  // of a long entry, in its row

struct WindowState {
  HWND StatementLabel = nullptr, HistoryLabel = nullptr, RunButton = nullptr;
  HMENU HistoryMenu = nullptr;
  HACCEL Accelerators = nullptr;
  HFONT Font = nullptr;
  HWND LastFocus = nullptr;  // given back when the window is active again
} Ui;

HFONT Font() {
  if (!Ui.Font) Ui.Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return Ui.Font;
}

int RowHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font());
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight + 2;
}

// 0 when no row is selected.
size_t SelectedEntry() {
  const LRESULT row = SendMessageA(App.List, LB_GETCURSEL, 0, 0);
  return row == LB_ERR ? 0 : static_cast<size_t>(row) + 1;
}

// The command on the selected entry, or the status line says what is
// missing.
void OnSelectedEntry(void (*command)(size_t)) {
  const size_t selected = SelectedEntry();
  if (selected) {
    command(selected);
  } else {
    SetStatus("Select a history entry first");
  }
}

// One history row: line breaks shown as a pilcrow, a long entry cut short.
std::string RowText(const std::string &entry) {
  std::string line;
  for (char c : entry) {
    if (line.size() >= ShownBytes) {
      line += " ...";
      break;
    }
    if (c == '\r') continue;
    if (c == '\n') {
      line += " \xB6 ";
    } else {
      line += c == '\t' ? ' ' : c;
    }
  }
  return line;
}

// The list holds no strings of its own, only a row count: a row is drawn
// from the history when it comes into view, so showing a history of any
// length costs the same.
void DrawRow(const DRAWITEMSTRUCT &d) {
  if (d.itemAction == ODA_FOCUS) {
    DrawFocusRect(d.hDC, &d.rcItem);
    return;
  }
  const bool selected = (d.itemState & ODS_SELECTED) != 0;
  FillRect(d.hDC, &d.rcItem,
           GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (d.itemID < App.Entries.size()) {
    HGDIOBJ old = SelectObject(d.hDC, Font());
    SetBkMode(d.hDC, TRANSPARENT);
    const std::string number = std::to_string(d.itemID + 1);
    SIZE digits = {};
    GetTextExtentPoint32A(d.hDC, "000000", 6, &digits);
    RECT r = d.rcItem;
    r.right = r.left + digits.cx;
    SetTextColor(d.hDC,
                 GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
    DrawTextA(d.hDC, number.c_str(), -1, &r,
              DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    r.left = r.right + 8;
    r.right = d.rcItem.right;
    const std::string text = RowText(App.Entries[d.itemID]);
    SetTextColor(
        d.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(
        d.hDC, text.c_str(), static_cast<int>(text.size()), &r,
        DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(d.hDC, old);
  }
  if (d.itemState & ODS_FOCUS) DrawFocusRect(d.hDC, &d.rcItem);
}

void Layout(int width, int height) {
  const int inner = width - 2 * Margin;
  int y = Margin;
  MoveWindow(Ui.StatementLabel, Margin, y, inner, LabelHeight, TRUE);
  y += LabelHeight;
  // The statement box takes a third of the height, at least three lines.
  const int boxHeight =
      std::max(3 * RowHeight() + 8, (height - StatusHeight) / 3);
  MoveWindow(App.Statement, Margin, y, inner - ButtonWidth - Margin, boxHeight,
             TRUE);
  MoveWindow(Ui.RunButton, width - Margin - ButtonWidth, y, ButtonWidth,
             ButtonHeight, TRUE);
  y += boxHeight + Margin;
  MoveWindow(Ui.HistoryLabel, Margin, y, inner, LabelHeight, TRUE);
  y += LabelHeight;
  MoveWindow(App.List, Margin, y, inner,
             std::max(RowHeight(), height - StatusHeight - Margin - y), TRUE);
  MoveWindow(App.Status, 0, height - StatusHeight, width, StatusHeight, TRUE);
}

void ShowContextMenu(LPARAM at) {
  POINT p = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (at == -1) {  // from the keyboard: beside the selected row
    RECT r = {};
    const size_t selected = SelectedEntry();
    if (!selected || SendMessageA(App.List, LB_GETITEMRECT, selected - 1,
                                  reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
      GetClientRect(App.List, &r);
    }
    p = {r.left + 16, r.bottom};
    ClientToScreen(App.List, &p);
  } else {  // from the mouse: the row under it is the one meant
    POINT client = p;
    ScreenToClient(App.List, &client);
    const LRESULT hit = SendMessageA(App.List, LB_ITEMFROMPOINT, 0,
                                     MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) == 0) SendMessageA(App.List, LB_SETCURSEL, LOWORD(hit), 0);
  }
  TrackPopupMenu(Ui.HistoryMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0,
                 App.Window, nullptr);
}

void EnableHistoryCommands(HMENU menu) {
  const UINT selected = SelectedEntry() ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu, RecallCommand, MF_BYCOMMAND | selected);
  EnableMenuItem(menu, DeleteCommand, MF_BYCOMMAND | selected);
  EnableMenuItem(menu, ClearCommand,
                 MF_BYCOMMAND | (App.Entries.empty() ? MF_GRAYED : MF_ENABLED));
}

void Command(HWND w, int id, int code) {
  switch (id) {
    case RunStatementCommand:
      RunStatementBox();
      return;
    case RecallCommand:
      OnSelectedEntry(RecallEntry);
      return;
    case DeleteCommand:
      OnSelectedEntry(DeleteEntry);
      return;
    case ClearCommand:
      ClearHistory();
      return;
    case ExitCommand:
      DestroyWindow(w);
      return;
    case IDOK:  // Enter outside the statement box
      if (GetFocus() == App.List) OnSelectedEntry(RecallEntry);
      if (GetFocus() == Ui.RunButton) RunStatementBox();
      return;
    case ListId:
      if (code == LBN_DBLCLK) OnSelectedEntry(RecallEntry);
      return;
  }
  RunPluginCommand(id);
}

LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Layout(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO *>(lp)->ptMinTrackSize = {360, 280};
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(w, focus)) Ui.LastFocus = focus;
      } else {
        SetFocus(Ui.LastFocus ? Ui.LastFocus : App.Statement);
      }
      return 0;
    case WM_NEXTDLGCTL: {
      // What a dialog does for Tab and for a label's mnemonic, which
      // IsDialogMessage asks of this window: focus the control named, or
      // the next (or previous) one in Tab order, its text selected.
      HWND next = LOWORD(lp) ? reinterpret_cast<HWND>(wp)
                             : GetNextDlgTabItem(w, GetFocus(), wp != 0);
      if (next) {
        SetFocus(next);
        if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
          SendMessageA(next, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT *>(lp)->itemHeight = RowHeight();
      return TRUE;
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<DRAWITEMSTRUCT *>(lp));
      return TRUE;
    case WM_VKEYTOITEM:  // keys pressed in the history list
      if (LOWORD(wp) == VK_DELETE) {
        OnSelectedEntry(DeleteEntry);
        return -2;
      }
      if (LOWORD(wp) == VK_RETURN) {
        OnSelectedEntry(RecallEntry);
        return -2;
      }
      return -1;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) != App.List) break;
      ShowContextMenu(lp);
      return 0;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wp) == Ui.HistoryMenu)
        EnableHistoryCommands(Ui.HistoryMenu);
      return 0;
    case WM_COMMAND:
      // Nothing thrown may unwind through the platform's frames.
      try {
        Command(w, LOWORD(wp), HIWORD(wp));
      } catch (const std::exception &e) {
        SetStatus(std::string("The command failed: ") + e.what());
      } catch (...) {
        SetStatus("The command failed");
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

HWND Control(const char *cls, const char *text, DWORD style, DWORD exStyle,
             int id) {
  HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0,
                           0, 0, 0, App.Window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
  SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  return c;
}

// A caption as a menu item: its own ampersands kept as text, and the first
// letter no other item uses marked as the item's key.
std::string MenuText(const std::string &caption, std::string &used) {
  std::string text;
  bool marked = false;
  for (char c : caption) {
    char lower = c;
    CharLowerBuffA(&lower, 1);
    if (!marked && IsCharAlphaNumericA(c) &&
        used.find(lower) == std::string::npos) {
      text += '&';
      used += lower;
      marked = true;
    }
    text += c;
    if (c == '&') text += '&';
  }
  return text;
}

}  // namespace

void CreateMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "StandInEditor";
  RegisterClassA(&wc);
  App.Window = CreateWindowA("StandInEditor", "Stand-in SQL editor",
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             720, 440, nullptr, nullptr, instance, nullptr);
  Ui.StatementLabel = Control("STATIC", "&Statement:", 0, 0, StatementLabelId);
  App.Statement = Control(
      "EDIT", "",
      WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
      WS_EX_CLIENTEDGE, StatementId);
  SendMessageA(App.Statement, EM_SETLIMITTEXT, 0, 0);  // as long as it gets
  Ui.RunButton = Control("BUTTON", "&Run", WS_TABSTOP | BS_PUSHBUTTON, 0,
                         RunStatementCommand);
  Ui.HistoryLabel = Control("STATIC", "H&istory:", 0, 0, HistoryLabelId);
  App.List =
      Control("LISTBOX", "",
              WS_TABSTOP | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                  LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT,
              WS_EX_CLIENTEDGE, ListId);
  App.Status =
      Control("STATIC", "Type a statement, F5 runs it",
              SS_LEFTNOWORDWRAP | SS_NOPREFIX, WS_EX_STATICEDGE, StatusId);
  RECT client;
  GetClientRect(App.Window, &client);
  Layout(client.right, client.bottom);

  ACCEL keys[] = {
      {FVIRTKEY, VK_F5, RunStatementCommand},
      {FVIRTKEY | FCONTROL, VK_RETURN, RunStatementCommand},
  };
  Ui.Accelerators = CreateAcceleratorTableA(keys, 2);
  Ui.LastFocus = App.Statement;
}

void BuildMenu() {
  HMENU bar = CreateMenu(), file = CreatePopupMenu(),
        plugins = CreatePopupMenu();
  Ui.HistoryMenu = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, ExitCommand, "E&xit");
  AppendMenuA(Ui.HistoryMenu, MF_STRING, RunStatementCommand,
              "&Run statement\tF5, Ctrl+Enter");
  AppendMenuA(Ui.HistoryMenu, MF_STRING, RecallCommand,
              "R&ecall entry\tEnter, double-click");
  AppendMenuA(Ui.HistoryMenu, MF_STRING, DeleteCommand, "&Delete entry\tDel");
  AppendMenuA(Ui.HistoryMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(Ui.HistoryMenu, MF_STRING, ClearCommand, "&Clear history");
  std::string used;
  for (const PluginCommand &c : PluginCommands()) {
    AppendMenuA(plugins, MF_STRING, c.Id, MenuText(c.Caption, used).c_str());
  }
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Ui.HistoryMenu),
              "&History");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), "&Plug-ins");
  SetMenu(App.Window, bar);
}

void ShowHistory(size_t select) {
  // The row count is all the list keeps; every visible row is redrawn,
  // since the entry behind it may have changed.
  SendMessageA(App.List, LB_SETCOUNT, App.Entries.size(), 0);
  SendMessageA(App.List, LB_SETCURSEL,
               select && select <= App.Entries.size() ? select - 1 : -1, 0);
  InvalidateRect(App.List, nullptr, TRUE);
}

void PaintNow() {
  RedrawWindow(App.Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ShowStatus(const std::string &text) {
  if (App.Status) SetWindowTextA(App.Status, text.c_str());
}

std::string StatementText() {
  std::string text(GetWindowTextLengthA(App.Statement) + 1, '\0');
  text.resize(
      GetWindowTextA(App.Statement, &text[0], static_cast<int>(text.size())));
  return text;
}

void SetStatementText(const std::string &text) {
  SetWindowTextA(App.Statement, text.c_str());
  SendMessageA(App.Statement, EM_SETSEL, 0, -1);
  SetFocus(App.Statement);
}

void RunStatementBox() {
  RunStatement(StatementText());
  // As typed it stays, selected: the next statement typed replaces it.
  SendMessageA(App.Statement, EM_SETSEL, 0, -1);
}

void DispatchEditorMessage(MSG &m) {
  const bool ours =
      App.Window && (m.hwnd == App.Window || IsChild(App.Window, m.hwnd));
  if (ours && TranslateAcceleratorA(App.Window, Ui.Accelerators, &m)) return;
  if (ours && IsDialogMessageA(App.Window, &m)) return;
  TranslateMessage(&m);
  DispatchMessageA(&m);
}

void RunMessageLoop() {
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchEditorMessage(m);
}

#include "editor/window.h"

#include <algorithm>

#include "editor/code_page.h"
#include "editor/fault_points.h"
#include "editor/history_model.h"
#include "editor/message_pump.h"
#include "editor/plugin_commands.h"
#include "editor/recovery.h"
#include "editor/statement_box.h"
#include "editor/thrown.h"

namespace {

constexpr char StatementLost[] =
    "The statement in the box has not been run: it is lost when the editor "
    "closes.";
constexpr char StatementReplaced[] =
    "The statement in the box has not been run: it is lost if it is "
    "replaced. Replace it?";

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
  UndoDeleteCommand,
  ClearCommand,
  ExitCommand = 99,
};

constexpr int Margin = 6, LabelHeight = 16, ButtonWidth = 80, ButtonHeight = 26,
              StatusHeight = 22;
constexpr size_t ShownBytes = 400;  // of a long entry, in its row

struct WindowState {
  HWND Window = nullptr;
  HWND Statement = nullptr;  // the multi-line statement box
  HWND List = nullptr;       // the history, one row per entry
  HWND Status = nullptr;
  HWND StatementLabel = nullptr, HistoryLabel = nullptr, RunButton = nullptr;
  HMENU HistoryMenu = nullptr;
  HACCEL Accelerators = nullptr;
  HFONT Font = nullptr;
  HWND LastFocus = nullptr;  // given back when the window is active again
  bool MayEnd = false;       // the person agreed that the session may end
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
  const LRESULT row = SendMessageA(Ui.List, LB_GETCURSEL, 0, 0);
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

// The row count is all the list keeps; every visible row is redrawn, since
// the entry behind it may have changed.
void ShowHistory(size_t select) {
  const size_t count = Entries().size();
  SendMessageA(Ui.List, LB_SETCOUNT, count, 0);
  SendMessageA(Ui.List, LB_SETCURSEL,
               select && select <= count ? select - 1 : -1, 0);
  InvalidateRect(Ui.List, nullptr, TRUE);
}

// Told of every change to the state, and drawn before the command that made
// it returns: a history loaded through a plug-in is on screen by then.
void ModelChanged(const ModelChange &change) {
  if (!Ui.Window) return;
  if (change.History) {
    ShowHistory(change.Select);
    UpdateWindow(Ui.List);
  }
  if (change.Status) {
    SetWindowTextA(Ui.Status, StatusText().c_str());
    UpdateWindow(Ui.Status);
  }
}

}  // namespace

// Drawn wide, since the byte of a pilcrow in one code page is a lead byte or
// no letter at all in another.
std::wstring HistoryRowText(const std::string &entry) {
  const size_t shown = WholeCharacters(entry, ShownBytes);
  std::wstring line;
  for (wchar_t c : WideFromAnsi(entry.substr(0, shown))) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      line += L" \x00B6 ";
    } else {
      line += c == L'\t' ? L' ' : c;
    }
  }
  if (shown < entry.size()) line += L" ...";
  return line;
}

namespace {

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
  if (d.itemID < Entries().size()) {
    FaultPoint("draw");
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
    const std::wstring text = HistoryRowText(Entries()[d.itemID]);
    SetTextColor(
        d.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(
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
  MoveWindow(Ui.Statement, Margin, y, inner - ButtonWidth - Margin, boxHeight,
             TRUE);
  MoveWindow(Ui.RunButton, width - Margin - ButtonWidth, y, ButtonWidth,
             ButtonHeight, TRUE);
  y += boxHeight + Margin;
  MoveWindow(Ui.HistoryLabel, Margin, y, inner, LabelHeight, TRUE);
  y += LabelHeight;
  MoveWindow(Ui.List, Margin, y, inner,
             std::max(RowHeight(), height - StatusHeight - Margin - y), TRUE);
  MoveWindow(Ui.Status, 0, height - StatusHeight, width, StatusHeight, TRUE);
}

// The row under a point of the list's client area, or -1. Worked out from
// the first row shown: the list's own answer keeps only 16 bits of it.
LRESULT RowAt(POINT client) {
  RECT area;
  GetClientRect(Ui.List, &area);
  if (!PtInRect(&area, client)) return -1;
  const LRESULT top = SendMessageA(Ui.List, LB_GETTOPINDEX, 0, 0);
  const LRESULT height = SendMessageA(Ui.List, LB_GETITEMHEIGHT, 0, 0);
  if (top < 0 || height <= 0) return -1;
  const LRESULT row = top + client.y / height;
  return row < static_cast<LRESULT>(Entries().size()) ? row : -1;
}

void ShowContextMenu(LPARAM at) {
  POINT p = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (at == -1) {  // from the keyboard: beside the selected row, in view
    RECT area, r = {};
    GetClientRect(Ui.List, &area);
    const size_t selected = SelectedEntry();
    if (selected) {
      SendMessageA(Ui.List, LB_SETCURSEL, selected - 1, 0);  // scrolls to it
      SendMessageA(Ui.List, LB_GETITEMRECT, selected - 1,
                   reinterpret_cast<LPARAM>(&r));
    }
    p = {area.left + 16, std::clamp(r.bottom, area.top, area.bottom)};
    ClientToScreen(Ui.List, &p);
  } else {  // from the mouse: the row under it is the one meant
    POINT client = p;
    ScreenToClient(Ui.List, &client);
    const LRESULT row = RowAt(client);
    if (row >= 0) SendMessageA(Ui.List, LB_SETCURSEL, row, 0);
  }
  TrackPopupMenu(Ui.HistoryMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0,
                 Ui.Window, nullptr);
}

void EnableHistoryCommands(HMENU menu) {
  const UINT selected = SelectedEntry() ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu, RecallCommand, MF_BYCOMMAND | selected);
  EnableMenuItem(menu, DeleteCommand, MF_BYCOMMAND | selected);
  EnableMenuItem(menu, UndoDeleteCommand,
                 MF_BYCOMMAND | (CanUndoDelete() ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, ClearCommand,
                 MF_BYCOMMAND | (Entries().empty() ? MF_GRAYED : MF_ENABLED));
}

// Asks the person, one question at a time: Windows may end the session
// while one is up.
int Ask(const std::string &text, UINT buttons) {
  static bool asking = false;
  if (asking) return IDCANCEL;
  asking = true;
  const int answer = MessageBoxA(Ui.Window, text.c_str(), EditorTitle,
                                 buttons | MB_ICONQUESTION);
  asking = false;
  return answer;
}

// Before something that would discard the unsaved history (`doing` says
// what, `notDone` how the status line refuses it): Yes saves it through
// "Save history" and goes on only once saved, No goes on, Cancel stops.
bool SaveFirst(const char *doing, const std::string &note,
               const std::string &notDone) {
  const std::string question = std::string("Save the history before ") + doing +
                               "?" + (note.empty() ? "" : "\n\n") + note;
  const int answer = Ask(question, MB_YESNOCANCEL);
  if (!Ui.Window) return false;  // the session ended while it asked
  if (answer == IDNO) return true;
  if (answer != IDYES) {
    SetStatus(notDone + ": the history is still here, not saved");
    return false;
  }
  const std::string before = StatusText();
  if (!RunCommandCalled(SaveHistoryCaption)) {
    SetStatus(notDone +
              ": no plug-in offers \"Save history\", so the history cannot "
              "be saved");
    return false;
  }
  if (!Unsaved()) return true;
  std::string lower = notDone;  // "Not closed", in mid-sentence
  lower[0] = 'n';
  SetStatus(StatusText() != before ? StatusText() + "; " + lower
                                   : notDone + ": the history was not saved");
  return false;
}

// Whether the editor may close now. What would be lost is asked about
// first: the unsaved history, the statement not run, or both.
bool MayClose() {
  FaultPoint("close");
  if (CommandRunning()) {
    SetStatus("Not closed: a plug-in's command is still running");
    return false;
  }
  const bool statement = StatementUnrun();
  if (Unsaved()) {
    return SaveFirst("closing", statement ? StatementLost : "", "Not closed");
  }
  if (!statement) return true;
  if (Ask(std::string(StatementLost) + " Close anyway?", MB_OKCANCEL) == IDOK)
    return true;
  if (!Ui.Window) return false;  // the session ended while it asked
  SetStatus("Not closed: the statement is still in its box");
  return false;
}

// Nothing unsaved is lost to a load or a clear: neither the history nor
// the entries deleted from it, which Undo delete would put back.
bool HistoryAtStake() {
  return Unsaved() && (!Entries().empty() || CanUndoDelete());
}

// A folder's name for the status line; '?' where the code page lacks a
// letter.
std::string Narrow(const std::wstring &text) {
  std::string out, why;
  ExactAnsi(text, out, why);
  return out;
}

// The session ends and will not wait for an answer: what the person has
// not saved or run is written aside, for the next start to offer back.
void KeepUnsavedWork() {
  const bool history = Unsaved(), statement = StatementUnrun();
  if (!history && !statement) return;
  const std::wstring text = StatementWide();
  std::wstring where;
  std::string error;
  if (KeepWork(history ? &Entries() : nullptr, statement ? &text : nullptr,
               where, error)) {
    SetStatus(
        "The session ended without waiting: what was not saved is "
        "kept in " +
        Narrow(where) + ", to be offered back at the next start");
  } else {
    SetStatus(
        "The session ended without waiting, and what was not saved "
        "could not be kept: " +
        error);
  }
}

// The caption of the plug-in command behind a menu command; empty if none.
std::string CaptionOf(int id) {
  for (const PluginCommand &c : PluginCommands())
    if (c.Id == id) return c.Caption;
  return {};
}

void Command(HWND w, int id, int code) {
  switch (id) {
    case RunStatementCommand:
      RunStatementBox();
      return;
    case RecallCommand:
      OnSelectedEntry(RecallAsked);
      return;
    case DeleteCommand:
      OnSelectedEntry(DeleteEntry);
      return;
    case UndoDeleteCommand:
      UndoDelete();
      return;
    case ClearCommand:
      ClearAsked();
      return;
    case ExitCommand:
      SendMessageA(w, WM_CLOSE, 0, 0);  // asks first, as closing does
      return;
    case IDOK:  // Enter outside the statement box
      if (GetFocus() == Ui.List) OnSelectedEntry(RecallAsked);
      if (GetFocus() == Ui.RunButton) RunStatementBox();
      return;
    case ListId:
      if (code == LBN_DBLCLK) OnSelectedEntry(RecallAsked);
      return;
  }
  const std::string caption = CaptionOf(id);
  if (!caption.empty()) RunOffered(caption);
}

LRESULT Handle(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
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
        SetFocus(Ui.LastFocus ? Ui.LastFocus : Ui.Statement);
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
        OnSelectedEntry(RecallAsked);
        return -2;
      }
      if (LOWORD(wp) == 'Z' && GetKeyState(VK_CONTROL) < 0) {
        UndoDelete();
        return -2;
      }
      return -1;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) != Ui.List) break;
      ShowContextMenu(lp);
      return 0;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wp) == Ui.HistoryMenu)
        EnableHistoryCommands(Ui.HistoryMenu);
      return 0;
    case WM_COMMAND:
      Command(w, LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:  // the close button, Alt+F4, File > Exit
      if (MayClose()) DestroyWindow(w);
      return 0;
    case WM_QUERYENDSESSION:  // Windows shuts down or the person logs off
      // A session that cannot wait is not asked about: its work is kept.
      Ui.MayEnd = !(lp & ENDSESSION_CRITICAL) && MayClose();
      return Ui.MayEnd || (lp & ENDSESSION_CRITICAL) != 0;
    case WM_ENDSESSION:
      if (!wp) {  // called off
        Ui.MayEnd = false;
        return 0;
      }
      // The session ends, and the editor with it: also when it did not wait
      // for the person's answer (the question may still be up).
      if (!Ui.MayEnd) KeepUnsavedWork();
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      Ui.Window = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

// What failed, for the status line.
const char *Doing(UINT msg) {
  switch (msg) {
    case WM_DRAWITEM:
      return "The history could not be drawn";
    case WM_COMMAND:
      return "The command failed";
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
      return "Not closed";
  }
  return "The window could not do what was asked";
}

LRESULT Failed(UINT msg, const char *why) noexcept {
  try {
    SetStatus(std::string(Doing(msg)) + ": " + why);
  } catch (...) {
    if (Ui.Status) SetWindowTextA(Ui.Status, Doing(msg));
  }
  return msg == WM_DRAWITEM ? TRUE : 0;  // and nothing closes
}

// Every message ends here, whatever its handling throws: it may have come
// through a plug-in's dialog loop, whose frames nothing may unwind.
LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  try {
    return Handle(w, msg, wp, lp);
  } catch (...) {
    return Failed(msg, ThrownReason());
  }
}

// The window's own keys, before the usual dispatch: its accelerators, then
// what a dialog does with Tab and mnemonics. Esc does nothing: in that mode
// the statement box would close the window with it.
bool Filter(MSG &m) {
  const bool ours =
      Ui.Window && (m.hwnd == Ui.Window || IsChild(Ui.Window, m.hwnd));
  if (!ours) return false;
  if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) return true;
  return TranslateAcceleratorW(Ui.Window, Ui.Accelerators, &m) ||
         IsDialogMessageW(Ui.Window, &m);
}

HWND Control(const char *cls, const char *text, DWORD style, DWORD exStyle,
             int id) {
  HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0,
                           0, 0, 0, Ui.Window,
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
  Ui.Window = CreateWindowA("StandInEditor", EditorTitle, WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, 720, 440, nullptr,
                            nullptr, instance, nullptr);
  Ui.StatementLabel = Control("STATIC", "&Statement:", 0, 0, StatementLabelId);
  Ui.Statement = CreateStatementBox(Ui.Window, StatementId, Font());
  Ui.RunButton = Control("BUTTON", "&Run", WS_TABSTOP | BS_PUSHBUTTON, 0,
                         RunStatementCommand);
  Ui.HistoryLabel = Control("STATIC", "H&istory:", 0, 0, HistoryLabelId);
  Ui.List =
      Control("LISTBOX", "",
              WS_TABSTOP | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED |
                  LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT,
              WS_EX_CLIENTEDGE, ListId);
  Ui.Status =
      Control("STATIC", "Type a statement, F5 runs it",
              SS_LEFTNOWORDWRAP | SS_NOPREFIX, WS_EX_STATICEDGE, StatusId);
  RECT client;
  GetClientRect(Ui.Window, &client);
  Layout(client.right, client.bottom);

  ACCEL keys[] = {
      {FVIRTKEY, VK_F5, RunStatementCommand},
      {FVIRTKEY | FCONTROL, VK_RETURN, RunStatementCommand},
  };
  Ui.Accelerators = CreateAcceleratorTableA(keys, 2);
  Ui.LastFocus = Ui.Statement;
  ShowHistory(0);
  SetModelListener(ModelChanged);
  SetMessageFilter(Filter);
}

HWND MainWindow() {
  return Ui.Window;
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
  AppendMenuA(Ui.HistoryMenu, MF_STRING, UndoDeleteCommand,
              "&Undo delete\tCtrl+Z");
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
  SetMenu(Ui.Window, bar);
}

bool RunOffered(const std::string &caption) {
  if (!OffersCommand(caption)) return false;
  if (caption == LoadHistoryCaption && !CommandRunning() && HistoryAtStake() &&
      !SaveFirst("loading another", "", "Not loaded")) {
    return true;
  }
  RunCommandCalled(caption);
  return true;
}

bool MayReplaceStatement(const std::string &with, const std::string &notDone) {
  // The same text in its place loses nothing.
  if (!StatementUnrun() || StatementWide() == WideFromAnsi(with) ||
      Ask(StatementReplaced, MB_OKCANCEL) == IDOK)
    return true;
  SetStatus(notDone + ": the statement is still in its box");
  return false;
}

void RecallAsked(size_t number) {
  // An entry that is not there replaces nothing; the status line says so.
  const bool there = number >= 1 && number <= Entries().size();
  if (there && !MayReplaceStatement(Entries()[number - 1], "Not recalled"))
    return;
  RecallIntoBox(number);
}

void OfferKeptWork() {
  std::string error;
  KeptWork kept = OldestKeptWork(error);
  if (!error.empty())
    SetStatus("Work kept when a session ended could not be read: " + error);
  if (kept.Folder.empty()) return;
  std::string what;
  if (kept.HasHistory)
    what = "the history, " + std::to_string(kept.Entries.size()) +
           (kept.Entries.size() == 1 ? " entry" : " entries") + ", not saved";
  if (kept.HasStatement)
    what += std::string(what.empty() ? "" : ", and ") + "a statement not run";
  if (Ask("The last session ended without waiting, and the editor kept " +
              what +
              ".\n\nOK brings it back; Cancel keeps it for the next "
              "start.",
          MB_OKCANCEL) != IDOK) {
    SetStatus("Kept for the next start, in " + Narrow(kept.Folder) + ": " +
              what);
    return;
  }
  if (kept.HasHistory &&
      !ReplaceHistory(std::move(kept.Entries), error, false)) {
    SetStatus("Not brought back, still kept in " + Narrow(kept.Folder) + ": " +
              error);
    return;
  }
  if (kept.HasStatement) PutBackStatement(kept.Statement);
  ForgetKeptWork(kept);
  SetStatus("Brought back from the last session: " + what);
}

void ClearAsked() {
  if (HistoryAtStake() && !SaveFirst("clearing it", "", "Not cleared")) return;
  ClearHistory();
}

bool HistoryRowOnScreen(size_t number, POINT &at, bool scrollBar) {
  RECT r, client;
  if (number < 1 || number > Entries().size()) return false;
  SendMessageA(Ui.List, LB_SETTOPINDEX, number - 1, 0);
  if (SendMessageA(Ui.List, LB_GETITEMRECT, number - 1,
                   reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
    return false;
  }
  GetClientRect(Ui.List, &client);
  // The scroll bar stands just right of the client area.
  const int x = scrollBar ? client.right + GetSystemMetrics(SM_CXVSCROLL) / 2
                          : (r.left + r.right) / 2;
  at = {x, (r.top + r.bottom) / 2};
  return ClientToScreen(Ui.List, &at);
}

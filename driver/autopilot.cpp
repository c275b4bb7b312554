#include "driver/autopilot.h"

#include <cstdio>

#include "driver/screenshot.h"
#include "editor/fault_points.h"
#include "editor/message_pump.h"

namespace {

constexpr UINT TickMs = 50;
constexpr DWORD MenuTimeoutMs = 15000;
// Past a dialog's deadline each step is tried this long before the next:
// Cancel (and No to a question), then closing it, then ending it, then
// destroying it. A command that still has not returned this long after the
// last step ends the process with a report.
constexpr DWORD EscalateMs = 1000;
constexpr int EscalationSteps = 4;
constexpr DWORD GraceMs = 3000;
// A window just shown is still being drawn; it is pictured this much later.
constexpr DWORD SettleMs = 600;
constexpr int FileNameBox = 0x47C;      // cmb13, the file-name box
constexpr int FilterBox = 0x470;        // cmb1, the file-type list
constexpr int MessageBoxText = 0xFFFF;  // the static holding a box's text

enum class Stage { Waiting, Typed, Overdue, Done };

struct FileDialogState {
  DialogPlan Plan;
  DialogReport Report;
  Stage Now = Stage::Done;
  DWORD Deadline = 0;
  size_t NextAnswer = 0;
  DWORD SnapAt = 0;  // with a picture asked for: when to take it
  UINT_PTR Timer = 0;
  int Escalation = 0;  // steps taken past the deadline
  DWORD NextStepAt = 0;
} Dialog;
// Dialogs that follow the one watched, each only once the one before it was
// confirmed; and the reports of those already finished.
std::vector<DialogPlan> Queued;
std::vector<DialogReport> Finished;

struct BoxState {
  std::vector<MessageBoxSeen> Seen;
  int Answer = IDOK;
  size_t Left = 0;       // boxes still to answer
  HWND Owner = nullptr;  // only boxes this window owns, when given
  std::string SnapFile;
  DWORD SnapAt = 0;
  UINT_PTR Timer = 0;
} Boxes;

struct MenuState {
  HWND Owner = nullptr;
  std::string Path, Failure;
  DWORD Deadline = 0, SnapAt = 0;
  bool Done = false;
} Menu;

// Has a window just found drawn at once and gives the display time to show
// it: true once it is ready to be pictured.
bool Settled(HWND w, DWORD &snapAt) {
  if (!snapAt) {
    RedrawWindow(w, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    snapAt = (GetTickCount() + SettleMs) | 1;  // 0 means "not yet seen"
    return false;
  }
  return Reached(snapAt);
}

std::string Snap(const RECT &area, const std::string &path) {
  std::string error;
  return SaveScreenArea(area, path, error) ? std::string() : error;
}

// In the ANSI code page, exactly: a letter it lacks is a '?', never a
// look-alike (a plug-in's box may name one).
std::string WindowText(HWND w) {
  wchar_t wide[1024] = {};
  char text[3 * 1024] = {};
  GetWindowTextW(w, wide, 1024);
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, text,
                      sizeof text - 1, nullptr, nullptr);
  return text;
}

void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Timer procedures run inside whatever loop dispatches them, a plug-in's
// dialog included: nothing thrown may leave them.
template <void (*Tick)()>
void CALLBACK Guarded(HWND, UINT, UINT_PTR, DWORD) noexcept {
  try {
    Tick();
  } catch (...) {
    std::fputs("autopilot failed: its timer threw\n", stderr);
  }
}

BOOL CALLBACK CloseOne(HWND w, LPARAM step) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  // Cancel where there is a Cancel, else No: never the answer that acts.
  const int answer =
      GetDlgItem(w, IDCANCEL) || !GetDlgItem(w, IDNO) ? IDCANCEL : IDNO;
  switch (step) {
    case 0:
      Press(w, answer);
      break;
    case 1:
      PostMessageA(w, WM_CLOSE, 0, 0);
      break;
    case 2:
      EndDialog(w, answer);
      break;
    default:
      DestroyWindow(w);
      break;
  }
  return TRUE;
}

struct Finder {
  DWORD Thread;
  const char *Title;  // nullptr: any message box
  HWND Exclude;       // with Title nullptr: any box but this window
  HWND Owner;         // and, when given, owned by this window
  HWND Found;
};

BOOL CALLBACK FindOwnWindow(HWND w, LPARAM param) {
  auto f = reinterpret_cast<Finder *>(param);
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  // The dialog asks "replace?" in a box with the dialog's own title, so the
  // file-name box is what tells the file dialog apart.
  const bool fileDialog = GetDlgItem(w, FileNameBox) != nullptr;
  if (f->Title ? fileDialog && WindowText(w) == f->Title
               : !fileDialog && w != f->Exclude &&
                     GetDlgItem(w, MessageBoxText) != nullptr &&
                     (!f->Owner || GetWindow(w, GW_OWNER) == f->Owner)) {
    f->Found = w;
    return FALSE;
  }
  return TRUE;
}

HWND FindDialog(const char *title, HWND exclude = nullptr,
                HWND owner = nullptr) {
  Finder f{GetCurrentThreadId(), title, exclude, owner, nullptr};
  EnumThreadWindows(f.Thread, FindOwnWindow, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

void ReadDialog(HWND d) {
  DialogReport &r = Dialog.Report;
  r.Seen = true;
  r.InitialName = WindowText(GetDlgItem(d, FileNameBox));
  HWND filters = GetDlgItem(d, FilterBox);
  const int count = static_cast<int>(SendMessageA(filters, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    SendMessageA(filters, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    r.Filters.push_back(text);
  }
  const int selected =
      static_cast<int>(SendMessageA(filters, CB_GETCURSEL, 0, 0));
  if (selected >= 0 && selected < count) r.SelectedFilter = r.Filters[selected];
}

void Finish(const std::string &failure) {
  if (!failure.empty() && Dialog.Report.Failure.empty())
    Dialog.Report.Failure = failure;
  Dialog.Now = Stage::Done;
  KillTimer(nullptr, Dialog.Timer);
  Dialog.Timer = 0;
}

// The last resort: the command has not returned long after its dialog was
// due, so nothing more from this thread would help; say so and end.
[[noreturn]] void GiveUp() {
  const std::string report =
      "autopilot failed: the command with the dialog \"" + Dialog.Plan.Title +
      "\" had not returned " +
      std::to_string(EscalationSteps * EscalateMs + GraceMs) +
      " ms past its deadline; ending the process\n";
  // In the transcript, and where a test or a terminal sees errors.
  std::fputs(report.c_str(), stdout);
  std::fflush(stdout);
  std::fputs(report.c_str(), stderr);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), AutopilotHungExitCode);
  for (;;) Sleep(INFINITE);
}

// Past the deadline: whatever is still up, or appears only now, is made to
// go, each step harder than the last.
void Escalate() {
  if (!Reached(Dialog.NextStepAt)) return;
  if (Dialog.Escalation >= EscalationSteps) GiveUp();
  CloseWhatIsUp(Dialog.Escalation++);
  Dialog.NextStepAt =
      GetTickCount() +
      (Dialog.Escalation < EscalationSteps ? EscalateMs : GraceMs);
}

void TypeAndConfirm(HWND d) {
  if (Dialog.Plan.SelectAllFiles) {
    HWND filters = GetDlgItem(d, FilterBox);
    SendMessageA(filters, CB_SETCURSEL, 1, 0);
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(FilterBox, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(filters));
  }
  SetDlgItemTextA(d, FileNameBox, Dialog.Plan.Name.c_str());
  Press(d, IDOK);
  Dialog.Now = Stage::Typed;
}

void FileDialogTick();

void WatchFor(const DialogPlan &plan) {
  Dialog = FileDialogState{};
  Dialog.Plan = plan;
  Dialog.Now = Stage::Waiting;
  Dialog.Deadline = GetTickCount() + plan.TimeoutMs;
  Dialog.Timer = SetTimer(nullptr, 0, TickMs, Guarded<FileDialogTick>);
}

void FileDialogTick() {
  FaultPoint("autopilot");
  HWND d = FindDialog(Dialog.Plan.Title.c_str());
  if (Dialog.Now != Stage::Overdue && Reached(Dialog.Deadline)) {
    const std::string late =
        d ? "the dialog did not close in time"
        : Dialog.Report.Seen
            ? "the command did not return in time after its dialog closed"
            : "no dialog titled \"" + Dialog.Plan.Title + "\" appeared";
    std::string &failure = Dialog.Report.Failure;
    failure = failure.empty() ? late : failure + "; " + late;
    Dialog.Now = Stage::Overdue;
    Dialog.NextStepAt = GetTickCount();
  }
  if (Dialog.Now == Stage::Overdue) {
    if (d && !Dialog.Report.Seen) {
      ReadDialog(d);
      Dialog.Report.Failure += "; it appeared late and was cancelled";
    }
    Escalate();
    return;
  }
  if (!d && Dialog.Now == Stage::Waiting && !Dialog.Report.Seen &&
      !Queued.empty() && FindDialog(Queued.front().Title.c_str())) {
    // The dialog planned first never came (nothing asked for it), and the
    // next one has: that one is watched now.
    Finish("");
    Finished.push_back(Dialog.Report);
    const DialogPlan next = Queued.front();
    Queued.erase(Queued.begin());
    WatchFor(next);
    return;
  }
  if (!d) {
    if (Dialog.Now == Stage::Typed) {
      const bool confirmed = !Dialog.Plan.Cancel;
      Finish("");
      if (confirmed && !Queued.empty()) {
        Finished.push_back(Dialog.Report);
        const DialogPlan next = Queued.front();
        Queued.erase(Queued.begin());
        WatchFor(next);
      }
    }
    return;  // not up yet, or already closed
  }
  if (Dialog.Now == Stage::Waiting) {
    if (!Dialog.Report.Seen) ReadDialog(d);
    if (!Dialog.Plan.SnapFile.empty()) {
      if (!Settled(d, Dialog.SnapAt)) return;
      const std::string error = Snap(WindowArea(d), Dialog.Plan.SnapFile);
      if (error.empty()) Dialog.Report.Snapshot = Dialog.Plan.SnapFile;
      if (!error.empty()) Dialog.Report.Failure = "no picture: " + error;
      Dialog.Plan.SnapFile.clear();
    }
    if (Dialog.Plan.Cancel) {
      Press(d, IDCANCEL);
      Dialog.Now = Stage::Typed;
    } else {
      TypeAndConfirm(d);
    }
    return;
  }
  // Typed: the dialog may be asking whether to replace the file.
  HWND question = FindDialog(nullptr, d);
  if (!question) return;
  Dialog.Report.Questions.push_back(
      WindowText(GetDlgItem(question, MessageBoxText)));
  const bool yes = Dialog.NextAnswer < Dialog.Plan.OverwriteAnswers.size() &&
                   Dialog.Plan.OverwriteAnswers[Dialog.NextAnswer];
  ++Dialog.NextAnswer;
  Press(question, yes ? IDYES : IDNO);
  if (!yes && Dialog.Plan.CancelAfterNo) {
    Dialog.Plan.Cancel = true;
    Dialog.Now = Stage::Waiting;  // the dialog stays open: cancel it next
  }
}

void MessageBoxTick() {
  HWND box = Boxes.Left ? FindDialog(nullptr, nullptr, Boxes.Owner) : nullptr;
  if (!box) return;
  if (!Boxes.SnapFile.empty() && !Settled(box, Boxes.SnapAt)) return;
  MessageBoxSeen seen;
  seen.Caption = WindowText(box);
  seen.Text = WindowText(GetDlgItem(box, MessageBoxText));
  seen.Owned = GetWindow(box, GW_OWNER) != nullptr;
  if (!Boxes.SnapFile.empty()) {
    seen.SnapFailure = Snap(WindowArea(box), Boxes.SnapFile);
    if (seen.SnapFailure.empty()) seen.Snapshot = Boxes.SnapFile;
    Boxes.SnapFile.clear();  // the first box only
  }
  // No, asked of a question that has only OK and Cancel, goes on without
  // keeping: its OK. An answer the box does not offer is its Cancel.
  int answer = Boxes.Answer;
  if (answer == IDNO && !GetDlgItem(box, IDNO)) answer = IDOK;
  if (!GetDlgItem(box, answer)) answer = IDCANCEL;
  seen.Pressed = answer;
  Boxes.Seen.push_back(seen);
  --Boxes.Left;
  Press(box, answer);
}

BOOL CALLBACK FindMenuPopup(HWND w, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32768") != 0 || !IsWindowVisible(w)) return TRUE;
  *reinterpret_cast<HWND *>(param) = w;
  return FALSE;
}

// Runs inside the menu's own modal loop.
void MenuTick() {
  if (Menu.Done) {
    EndMenu();  // still open: ask again
    return;
  }
  HWND popup = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMenuPopup,
                    reinterpret_cast<LPARAM>(&popup));
  if (Reached(Menu.Deadline)) {
    Menu.Failure = popup ? "the menu was not drawn in time" : "no menu opened";
  } else if (!popup || !Settled(popup, Menu.SnapAt)) {
    return;
  } else {
    Menu.Failure = Snap(WindowArea(Menu.Owner, popup), Menu.Path);
  }
  Menu.Done = true;
  EndMenu();
}

}  // namespace

DWORD Paced(DWORD ms) {
  static const bool guest =
      GetEnvironmentVariableA("HISTORY_GUEST", nullptr, 0);
  return guest ? 2 * ms : ms;
}

void CloseWhatIsUp(int step) {
  EndMenu();
  EnumThreadWindows(GetCurrentThreadId(), CloseOne, step);
}

void ArmFileDialog(const DialogPlan &plan) {
  ArmFileDialogs({plan});
}

DialogReport FinishFileDialog() {
  return FinishFileDialogs().back();
}

void ArmFileDialogs(const std::vector<DialogPlan> &plans) {
  Finished.clear();
  Queued.assign(plans.begin() + 1, plans.end());
  WatchFor(plans.front());
}

std::vector<DialogReport> FinishFileDialogs() {
  if (Dialog.Now != Stage::Done) {
    Finish(Dialog.Report.Seen ? "" : "the dialog never appeared");
  }
  Finished.push_back(Dialog.Report);
  Queued.clear();
  return Finished;
}

void ArmMessageBoxes(const std::string &snapFile, int answer, size_t count,
                     HWND owner) {
  Boxes = BoxState{};
  Boxes.Owner = owner;
  Boxes.Answer = answer;
  Boxes.Left = count;
  Boxes.SnapFile = snapFile;
  Boxes.Timer = SetTimer(nullptr, 0, TickMs, Guarded<MessageBoxTick>);
}

std::vector<MessageBoxSeen> FinishMessageBoxes() {
  KillTimer(nullptr, Boxes.Timer);
  return Boxes.Seen;
}

std::string SnapMenu(HWND owner, char mnemonic, const std::string &path) {
  Menu = MenuState{};
  Menu.Owner = owner;
  Menu.Path = path;
  Menu.Deadline = GetTickCount() + Paced(MenuTimeoutMs);
  RedrawWindow(owner, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // A dialog just closed leaves focus changes queued that would close the
  // menu at once; they, and the repainting under the dialog, go first. Should
  // the menu still close before it is pictured, it is opened again.
  const UINT_PTR timer = SetTimer(nullptr, 0, TickMs, Guarded<MenuTick>);
  for (int attempt = 0; attempt < 3 && !Menu.Done; ++attempt) {
    PumpFor(SettleMs);
    Menu.SnapAt = 0;
    // As the menu key and a letter do: returns once the menu has closed.
    SendMessageA(owner, WM_SYSCOMMAND, SC_KEYMENU, mnemonic);
  }
  KillTimer(nullptr, timer);
  if (!Menu.Done) return "the menu closed again before it could be pictured";
  return Menu.Failure;
}

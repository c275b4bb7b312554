#include "editor/autopilot.h"

namespace {

constexpr UINT TickMs = 50;
constexpr DWORD DialogTimeoutMs = 15000;
constexpr int FileNameBox = 0x47C;      // cmb13, the file-name box
constexpr int FilterBox = 0x470;        // cmb1, the file-type list
constexpr int MessageBoxText = 0xFFFF;  // the static holding a box's text

enum class Stage { Waiting, Typed, Done };

struct FileDialogState {
  DialogPlan Plan;
  DialogReport Report;
  Stage Now = Stage::Done;
  DWORD Deadline = 0;
  size_t NextAnswer = 0;
  UINT_PTR Timer = 0;
} Dialog;

struct BoxState {
  std::vector<MessageBoxSeen> Seen;
  UINT_PTR Timer = 0;
} Boxes;

std::string WindowText(HWND w) {
  char text[1024] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

struct Finder {
  DWORD Thread;
  const char *Title;  // nullptr: any message box
  HWND Exclude;       // with Title nullptr: any box but this window
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
                     GetDlgItem(w, MessageBoxText) != nullptr) {
    f->Found = w;
    return FALSE;
  }
  return TRUE;
}

HWND FindDialog(const char *title, HWND exclude = nullptr) {
  Finder f{GetCurrentThreadId(), title, exclude, nullptr};
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

void CALLBACK FileDialogTick(HWND, UINT, UINT_PTR, DWORD) {
  HWND d = FindDialog(Dialog.Plan.Title.c_str());
  if (GetTickCount() - Dialog.Deadline < 0x80000000u) {
    // A question still open would keep the dialog up: answer it first.
    if (HWND question = d ? FindDialog(nullptr, d) : nullptr)
      Press(question, IDNO);
    if (d) Press(d, IDCANCEL);
    Finish(d ? "the dialog did not close in time"
             : "no dialog titled \"" + Dialog.Plan.Title + "\" appeared");
    return;
  }
  if (!d) {
    if (Dialog.Now == Stage::Typed) Finish("");
    return;  // not up yet, or already closed
  }
  if (Dialog.Now == Stage::Waiting) {
    if (!Dialog.Report.Seen) ReadDialog(d);
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

void CALLBACK MessageBoxTick(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindDialog(nullptr);
  if (!box) return;
  Boxes.Seen.push_back({WindowText(box),
                        WindowText(GetDlgItem(box, MessageBoxText)),
                        GetWindow(box, GW_OWNER) != nullptr});
  Press(box, IDOK);
}

}  // namespace

void ArmFileDialog(const DialogPlan &plan) {
  Dialog = FileDialogState{};
  Dialog.Plan = plan;
  Dialog.Now = Stage::Waiting;
  Dialog.Deadline = GetTickCount() + DialogTimeoutMs;
  Dialog.Timer = SetTimer(nullptr, 0, TickMs, FileDialogTick);
}

DialogReport FinishFileDialog() {
  if (Dialog.Now != Stage::Done) {
    Finish(Dialog.Report.Seen ? "" : "the dialog never appeared");
  }
  return Dialog.Report;
}

void ArmMessageBoxes() {
  Boxes = BoxState{};
  Boxes.Timer = SetTimer(nullptr, 0, TickMs, MessageBoxTick);
}

std::vector<MessageBoxSeen> FinishMessageBoxes() {
  KillTimer(nullptr, Boxes.Timer);
  return Boxes.Seen;
}

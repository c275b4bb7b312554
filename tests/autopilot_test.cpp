// The autopilot's promise to scripted runs and tests: whatever a dialog
// does, the run gets its report within a fixed time. Dialogs built here
// stand in for a file dialog that comes late or will not go; each keeps a
// safety timer of its own, so a broken autopilot fails these tests instead
// of hanging them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver/autopilot.h"

namespace {

constexpr DWORD TimeoutMs = 800;  // the plan's deadline in these tests
// Far past the autopilot's own bound (the deadline, four steps a second
// apart, three seconds' grace), even on a slow emulated machine: a dialog
// still up then was left up.
constexpr UINT_PTR SafetyTimer = 7;
constexpr UINT SafetyMs = 30000;
constexpr int FileNameBox = 0x47C;
const char *const Title = "Select File for export to";

bool SafetyFired;

INT_PTR Common(HWND d, UINT msg, WPARAM wp) {
  if (msg == WM_INITDIALOG) {
    SetTimer(d, SafetyTimer, SafetyMs, nullptr);
    return TRUE;
  }
  if (msg == WM_TIMER && wp == SafetyTimer) {
    SafetyFired = true;
    EndDialog(d, -1);
    return TRUE;
  }
  return FALSE;
}

// Goes when it is cancelled, like the platform's dialog.
INT_PTR CALLBACK Obedient(HWND d, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
    EndDialog(d, IDCANCEL);
    return TRUE;
  }
  return Common(d, msg, wp);
}

// Ignores Cancel and every request to close.
INT_PTR CALLBACK Stubborn(HWND d, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_COMMAND || msg == WM_CLOSE) return TRUE;
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) return TRUE;
  return Common(d, msg, wp);
}

// A modal dialog as the autopilot knows the file dialog: its title and a
// file-name box.
INT_PTR ShowDialog(DLGPROC proc) {
  alignas(4) WORD bytes[256] = {};
  auto dialog = reinterpret_cast<DLGTEMPLATE *>(bytes);
  dialog->style =
      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  dialog->cdit = 1;
  dialog->cx = 200;
  dialog->cy = 60;
  WORD *p = reinterpret_cast<WORD *>(dialog + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // the dialog class
  p += MultiByteToWideChar(CP_ACP, 0, Title, -1, reinterpret_cast<WCHAR *>(p),
                           64);
  p = reinterpret_cast<WORD *>((reinterpret_cast<UINT_PTR>(p) + 3) & ~3u);
  auto item = reinterpret_cast<DLGITEMTEMPLATE *>(p);
  item->style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
  item->x = 10;
  item->y = 10;
  item->cx = 150;
  item->cy = 14;
  item->id = FileNameBox;
  p = reinterpret_cast<WORD *>(item + 1);
  *p++ = 0xFFFF;
  *p++ = 0x0081;  // an edit control
  *p++ = 0;       // no text
  *p++ = 0;       // no creation data
  SafetyFired = false;
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog, nullptr,
                                 proc, 0);
}

int PostedToNoWindow;  // messages a window was meant to get

// Runs this thread's messages, as a command busy before its dialog would.
void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (!m.hwnd && m.message != WM_TIMER) ++PostedToNoWindow;
      DispatchMessageA(&m);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

DialogPlan Plan() {
  DialogPlan plan;
  plan.Title = Title;
  plan.Name = "C:\\history.ini";
  plan.TimeoutMs = TimeoutMs;
  return plan;
}

TEST(Autopilot, DialogAppearingAfterTheDeadlineIsCancelledAndReported) {
  ArmFileDialog(Plan());
  PostedToNoWindow = 0;
  PumpFor(TimeoutMs + 700);
  EXPECT_EQ(PostedToNoWindow, 0) << "with no dialog up, it posted to none";
  const INT_PTR result = ShowDialog(Obedient);
  const DialogReport report = FinishFileDialog();
  EXPECT_FALSE(SafetyFired) << "nothing answered the late dialog";
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_NE(report.Failure.find("appeared"), std::string::npos)
      << report.Failure;
  EXPECT_NE(report.Failure.find("late"), std::string::npos) << report.Failure;
}

TEST(Autopilot, DialogIgnoringCancelAndCloseIsEndedAndReported) {
  DialogPlan plan = Plan();
  plan.Cancel = true;
  plan.TimeoutMs = 5000;  // seen, and cancelled in vain, before the deadline
  ArmFileDialog(plan);
  const INT_PTR result = ShowDialog(Stubborn);
  const DialogReport report = FinishFileDialog();
  EXPECT_FALSE(SafetyFired) << "the stubborn dialog was left up";
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(report.Seen);
  EXPECT_EQ(report.Failure.find("the dialog did not close in time"), 0u)
      << report.Failure;
}

BOOL CALLBACK EndBox(HWND w, LPARAM) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0) EndDialog(w, -1);
  return TRUE;
}

void CALLBACK EndQuestion(HWND, UINT, UINT_PTR, DWORD) {
  SafetyFired = true;
  EnumThreadWindows(GetCurrentThreadId(), EndBox, 0);
}

// The dialog's "replace?" left up at the deadline: answered with the reply
// that does nothing, never the one that replaces the file.
TEST(Autopilot, ReplaceQuestionLeftUpAtTheDeadlineIsAnsweredNo) {
  ArmFileDialog(Plan());
  SafetyFired = false;
  const UINT_PTR safety = SetTimer(nullptr, 0, SafetyMs, EndQuestion);
  const int answer = MessageBoxA(
      nullptr, "history.ini already exists.\nDo you want to replace it?", Title,
      MB_YESNO | MB_ICONWARNING);
  KillTimer(nullptr, safety);
  FinishFileDialog();
  EXPECT_FALSE(SafetyFired) << "nothing answered the question";
  EXPECT_EQ(answer, IDNO) << "answered Yes: the file would be replaced";
}

// A command caught in a modal loop of its own that nothing can end.
TEST(Autopilot, CommandThatNeverReturnsEndsTheProcessWithAReport) {
  EXPECT_EXIT(
      {
        ArmFileDialog(Plan());
        PumpFor(SafetyMs);
        std::exit(0);
      },
      ::testing::ExitedWithCode(AutopilotHungExitCode),
      "autopilot failed: the command with the dialog \"Select File for "
      "export to\" had not returned");
}

}  // namespace

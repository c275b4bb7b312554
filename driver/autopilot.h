// Answers the platform's real dialogs the way a user would, for scripted
// runs: finds the dialog by its title once it has initialised, reads what
// it shows, types the name and presses the button. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A bound on waiting for the platform, twice as long in the emulated guest
// (its runs say so in HISTORY_GUEST), where the platform is several times
// slower: long enough there, and still far below the tests' own limits.
DWORD Paced(DWORD ms);

struct DialogPlan {
  std::string Title;                   // the file dialog's title
  std::string Name;                    // typed into the file-name box
  bool Cancel = false;                 // press Cancel instead of Save/Open
  bool SelectAllFiles = false;         // pick the second filter first
  std::vector<bool> OverwriteAnswers;  // replies to "replace?" in order
  bool CancelAfterNo = true;           // after a "no", cancel the dialog
  std::string SnapFile;  // a BMP picture of the dialog, taken before acting
  // Until the dialog must have come and gone. Past it the autopilot cancels,
  // closes, ends, then destroys whatever dialog is up, a late one too, and
  // reports the failure; a command that still has not returned a few seconds
  // later (its thread still running messages, as any dialog's does) ends the
  // process with AutopilotHungExitCode.
  DWORD TimeoutMs = Paced(15000);
};

constexpr UINT AutopilotHungExitCode = 124;

struct DialogReport {
  bool Seen = false;
  std::string InitialName;  // the file-name box when it opened
  std::string SelectedFilter;
  std::vector<std::string> Filters;
  std::vector<std::string> Questions;  // texts of boxes the dialog asked
  std::string Snapshot;                // the picture written, if any
  std::string Failure;                 // empty when all went to plan
};

// Starts watching for the dialog; the caller then runs the command whose
// modal loop will show it. The report is complete once the command returns.
void ArmFileDialog(const DialogPlan &plan);
DialogReport FinishFileDialog();
// Dialogs one after another (a save before a load), each watched once the
// one before it was confirmed; a report for each watched.
void ArmFileDialogs(const std::vector<DialogPlan> &plans);
std::vector<DialogReport> FinishFileDialogs();

// Watches for message boxes of this thread and answers each after reading
// it, up to `count` of them: a plug-in's boxes while it installs, the
// editor's own question when it closes. Given a file, the first box is
// pictured into it before it is answered.
struct MessageBoxSeen {
  std::string Caption, Text;
  bool Owned;
  int Pressed = 0;  // the button pressed; No is pressed as OK where only OK
                    // and Cancel are offered, and what is not offered as Cancel
  std::string Snapshot;     // the picture written, if any
  std::string SnapFailure;  // why a picture asked for was not written
};
// Given an owner, only the boxes it owns (a question of its own, not a file
// dialog's "replace?").
void ArmMessageBoxes(const std::string &snapFile = {}, int answer = IDOK,
                     size_t count = static_cast<size_t>(-1),
                     HWND owner = nullptr);
std::vector<MessageBoxSeen> FinishMessageBoxes();

// Makes whatever menu or dialog of this thread is still up go, each step
// harder than the last: 0 presses Cancel (No where there is no Cancel),
// 1 closes, 2 ends and 3 destroys each dialog; every step ends a menu.
void CloseWhatIsUp(int step);

// Opens the menu of `owner`'s menu bar with this mnemonic, writes a BMP
// picture of the window with the open menu, and closes the menu again.
// Returns why it could not, or an empty string.
std::string SnapMenu(HWND owner, char mnemonic, const std::string &path);

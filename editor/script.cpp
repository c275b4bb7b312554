#include "editor/script.h"

#include <windows.h>

#include "editor/autopilot.h"
#include "editor/history_model.h"
#include "editor/keyboard.h"
#include "editor/plugin_commands.h"
#include "editor/script_text.h"
#include "editor/window.h"

namespace {

constexpr char PluginsMnemonic = 'p';  // of "&Plug-ins"

// A dialog step's plan, kept by "answer" for the keys that open the dialog.
struct PendingAnswer {
  bool Armed = false;
  DialogPlan Plan;
} Answer;

bool StartsWith(const std::string &s, const char *prefix) {
  return s.rfind(prefix, 0) == 0;
}

// A positive entry number, digits only.
bool Number(const std::string &text, size_t &n) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  n = std::stoul(text);
  return n > 0;
}

// The dialog steps: which command they run and how its dialog is answered.
// False when the step is none of them.
bool DialogStep(const std::string &step, DialogPlan &plan) {
  std::string caption;
  auto arg = [&](size_t skip) { return step.substr(skip); };
  if (StartsWith(step, "snap-save ") || StartsWith(step, "snap-load ")) {
    caption = step[5] == 's' ? "Save history" : "Load history";
    plan.SnapFile = arg(10);
    plan.Cancel = true;
  } else if (StartsWith(step, "save-all-files ")) {
    caption = "Save history";
    plan.Name = arg(15);
    plan.SelectAllFiles = true;
  } else if (StartsWith(step, "save ")) {
    caption = "Save history";
    plan.Name = arg(5);
  } else if (StartsWith(step, "load ")) {
    caption = "Load history";
    plan.Name = arg(5);
  } else if (step == "cancel save" || step == "cancel load") {
    caption = step == "cancel save" ? "Save history" : "Load history";
    plan.Cancel = true;
  } else {
    return false;
  }
  for (const char *answer : {" yes", " no"}) {
    const size_t n = lstrlenA(answer);
    if (plan.Name.size() > n &&
        plan.Name.compare(plan.Name.size() - n, n, answer) == 0) {
      plan.Name.resize(plan.Name.size() - n);
      plan.OverwriteAnswers.push_back(answer[1] == 'y');
    }
  }
  plan.Title = caption == "Save history" ? "Select File for export to"
                                         : "Select File for load from";
  return true;
}

const char *CaptionOf(const DialogPlan &plan) {
  return plan.Title == "Select File for export to" ? "Save history"
                                                   : "Load history";
}

void ReportDialog(const DialogPlan &plan, const DialogReport &r) {
  if (r.Seen) {
    std::string filters;
    for (const std::string &f : r.Filters)
      filters += (filters.empty() ? "" : " | ") + f;
    Say("dialog: " + Quote(plan.Title) + ", name " + Quote(r.InitialName) +
        ", filter " + Quote(r.SelectedFilter) + ", filters [" + filters + "]");
  }
  for (const std::string &q : r.Questions) Say("dialog asked: " + Quote(q));
  if (!r.Snapshot.empty()) Say("snapshot: " + Quote(r.Snapshot));
  if (!r.Failure.empty()) Say("autopilot failed: " + r.Failure);
}

void RunDialogStep(const DialogPlan &plan) {
  LoadedPlugin *p = PluginByCaption(CaptionOf(plan));
  if (!p) {
    Say("error: no plug-in offers " + Quote(CaptionOf(plan)));
    return;
  }
  ArmFileDialog(plan);
  RunCommand(*p);
  ReportDialog(plan, FinishFileDialog());
}

// Keys from a person; a dialog they open is answered as "answer" planned.
void KeysStep(const std::string &keys) {
  const PendingAnswer answer = Answer;
  Answer = PendingAnswer{};
  if (answer.Armed) ArmFileDialog(answer.Plan);
  const std::string error = PressKeys(keys);
  if (answer.Armed) ReportDialog(answer.Plan, FinishFileDialog());
  if (!error.empty()) Say("error: keys " + Quote(keys) + ": " + error);
}

void Show() {
  for (size_t i = 0; i < App.Entries.size(); ++i)
    Say("entry " + std::to_string(i + 1) + ": " + QuoteEntry(App.Entries[i]));
  Say("statement box: " + QuoteEntry(StatementText()));
}

// Statements numbered from the current history's length on, each as short
// as a statement gets, so that 100,000 of them still make a file the
// loader takes: for measuring the services on large histories.
void Fill(size_t count) {
  const size_t first = App.Entries.size();
  App.Entries.reserve(first + count);
  for (size_t i = 1; i <= count; ++i)
    App.Entries.push_back("SELECT " + std::to_string(first + i) + " FROM t;");
  ShowHistory(0);
  SetStatus("Added " + std::to_string(count) + " generated statements");
}

// Steps that only a test build offers: faults no person could cause.
bool FaultStep(const std::string &step) {
#ifdef EDITOR_TEST_FAULTS
  if (StartsWith(step, "throw-in ")) {
    ThrowInNextService(step.substr(9));
    return true;
  }
  if (step == "hide-title-bar") {
    SetWindowLongA(App.Window, GWL_STYLE,
                   GetWindowLongA(App.Window, GWL_STYLE) & ~WS_CAPTION);
    SetWindowPos(App.Window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    return true;
  }
#else
  (void)step;
#endif
  return false;
}

// Runs one step; false at "quit".
bool Step(const std::string &step) {
  Say("step: " + step);
  if (step == "quit") return false;
  std::string text, error;
  size_t n = 0;
  DialogPlan plan;
  if (step == "clear") {
    ClearHistory();
  } else if (step == "show") {
    Show();
  } else if (step == "run" || StartsWith(step, "run ")) {
    if (!UnescapeText(step.substr(step.size() > 3 ? 4 : 3), text, error)) {
      Say("error: " + error);
    } else {
      SetStatementText(text);
      RunStatementBox();
    }
  } else if (StartsWith(step, "delete ") && Number(step.substr(7), n)) {
    DeleteEntry(n);
  } else if (StartsWith(step, "recall ") && Number(step.substr(7), n)) {
    RecallEntry(n);
  } else if (StartsWith(step, "fill ") && Number(step.substr(5), n)) {
    Fill(n);
  } else if (StartsWith(step, "type ")) {
    if (!UnescapeText(step.substr(5), text, error)) {
      Say("error: " + error);
    } else if (!(error = TypeText(text)).empty()) {
      Say("error: typing: " + error);
    }
  } else if (StartsWith(step, "keys ")) {
    KeysStep(step.substr(5));
  } else if (StartsWith(step, "answer ") && DialogStep(step.substr(7), plan)) {
    Answer.Armed = true;
    Answer.Plan = plan;
  } else if (StartsWith(step, "snap-menu ")) {
    error = SnapMenu(App.Window, PluginsMnemonic, step.substr(10));
    Say(error.empty() ? "snapshot: " + Quote(step.substr(10))
                      : "error: no picture of the menu: " + error);
  } else if (DialogStep(step, plan)) {
    RunDialogStep(plan);
  } else if (!FaultStep(step)) {
    Say("error: unknown step " + Quote(step));
  }
  return true;
}

}  // namespace

void RunScript(const std::string &script) {
  for (const std::string &step : SplitScript(script)) {
    if (!Step(step)) break;
  }
}

#include "driver/script.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "driver/autopilot.h"
#include "driver/keyboard.h"
#include "driver/script_text.h"
#include "driver/test_faults.h"
#include "editor/history_model.h"
#include "editor/plugin_commands.h"
#include "editor/statement_box.h"
#include "editor/thrown.h"
#include "editor/transcript.h"
#include "editor/window.h"

namespace {

constexpr char PluginsMnemonic = 'p';  // of "&Plug-ins"
constexpr char SaveTitle[] = "Select File for export to";
constexpr char LoadTitle[] = "Select File for load from";

// How the editor's question is to be answered when a step brings it up
// (before closing, loading or clearing), and with Yes, how the save dialog
// that follows is.
struct QuestionAnswer {
  bool Expected = false;  // an answer was given: a question should come
  int Answer = IDCANCEL;
  DialogPlan Save;
};

// What "answer" kept for the next step: a dialog plan for the keys that
// open it, and the answer to a question.
struct PendingAnswer {
  bool Dialog = false;
  DialogPlan Plan;
  QuestionAnswer Question;
} Answer;

bool StartsWith(const std::string &s, const char *prefix) {
  return s.rfind(prefix, 0) == 0;
}

// A step that is `word` alone or `word` and what follows a space; `rest`
// is then what follows.
bool Called(const std::string &step, const std::string &word,
            std::string &rest) {
  if (step != word && !StartsWith(step, (word + " ").c_str())) return false;
  rest = step.substr(std::min(step.size(), word.size() + 1));
  return true;
}

// A positive number, digits only.
bool Number(const std::string &text, size_t &n) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  n = std::stoul(text);
  return n > 0;
}

// The replies to "replace?" are the words "yes" and "no" at the end of a
// dialog step, in the order given; the name is what comes before them.
void TakeAnswers(DialogPlan &plan) {
  for (;;) {
    const size_t space = plan.Name.rfind(' ');
    if (space == std::string::npos) break;
    const std::string word = plan.Name.substr(space + 1);
    if (word != "yes" && word != "no") break;
    plan.OverwriteAnswers.insert(plan.OverwriteAnswers.begin(), word == "yes");
    plan.Name.resize(space);
  }
}

// The dialog steps: which command they run and how its dialog is answered.
// False when the step is none of them.
bool DialogStep(const std::string &step, DialogPlan &plan) {
  auto arg = [&](size_t skip) { return step.substr(skip); };
  if (StartsWith(step, "snap-save ") || StartsWith(step, "snap-load ")) {
    plan.Title = step[5] == 's' ? SaveTitle : LoadTitle;
    plan.SnapFile = arg(10);
    plan.Cancel = true;
  } else if (StartsWith(step, "save-all-files ")) {
    plan.Title = SaveTitle;
    plan.Name = arg(15);
    plan.SelectAllFiles = true;
  } else if (StartsWith(step, "save ")) {
    plan.Title = SaveTitle;
    plan.Name = arg(5);
  } else if (StartsWith(step, "load ")) {
    plan.Title = LoadTitle;
    plan.Name = arg(5);
  } else if (step == "cancel save" || step == "cancel load") {
    plan.Title = step == "cancel save" ? SaveTitle : LoadTitle;
    plan.Cancel = true;
  } else {
    return false;
  }
  TakeAnswers(plan);
  return true;
}

const char *CaptionOf(const DialogPlan &plan) {
  return plan.Title == SaveTitle ? SaveHistoryCaption : LoadHistoryCaption;
}

// "no", "cancel", "yes" (the save dialog then cancelled) or "yes NAME
// [yes|no]..." (saved under NAME); nothing: no question is expected.
bool AnswerOf(const std::string &words, QuestionAnswer &a) {
  a = QuestionAnswer{};
  a.Expected = !words.empty();
  if (words.empty() || words == "cancel") return true;
  if (words == "no") {
    a.Answer = IDNO;
    return true;
  }
  a.Answer = IDYES;
  if (words == "yes") return DialogStep("cancel save", a.Save);
  return StartsWith(words, "yes ") &&
         DialogStep("save " + words.substr(4), a.Save);
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

// Watches a step that may bring up the editor's question and, after it, a
// file dialog (the save that Yes starts, then the step's own); reports what
// was asked, how it was answered, and what the dialogs showed.
class Watched {
 public:
  Watched(const QuestionAnswer &a, const DialogPlan *own) : A(a) {
    ArmMessageBoxes({}, a.Answer, 1, MainWindow());
    if (a.Answer == IDYES) Plans.push_back(a.Save);
    if (own) Plans.push_back(*own);
    if (!Plans.empty()) ArmFileDialogs(Plans);
  }
  void Report(bool closing) {
    const std::vector<MessageBoxSeen> asked = FinishMessageBoxes();
    std::vector<DialogReport> dialogs;
    if (!Plans.empty()) dialogs = FinishFileDialogs();
    std::vector<MessageBoxSeen> questions;
    for (const MessageBoxSeen &q : asked) {
      if (q.Caption !=
          EditorTitle) {  // a plug-in's box, not the editor's question
        Say("message box: caption " + Quote(q.Caption) + ", text " +
            QuoteEntry(q.Text) + ", answered " + Word(q.Pressed));
        continue;
      }
      questions.push_back(q);
      Say("question: " + QuoteEntry(q.Text) + ", answered " + Word(q.Pressed));
      if (q.Pressed != A.Answer && !(A.Answer == IDNO && q.Pressed == IDOK))
        Say("error: the question offers no " + Word(A.Answer));
    }
    // The save that Yes starts is reported only when it was asked for.
    const size_t first = A.Answer == IDYES && questions.empty() ? 1 : 0;
    // A question answered otherwise than to go on stops the step: a dialog
    // that never came then was not to come.
    const bool stopped = !questions.empty() &&
                         questions.front().Pressed != IDNO &&
                         questions.front().Pressed != IDOK;
    for (size_t i = first; i < dialogs.size(); ++i) {
      if (!(stopped && !dialogs[i].Seen)) ReportDialog(Plans[i], dialogs[i]);
    }
    if (!A.Expected && !questions.empty())
      Say("error: the editor asked a question, which the step did not "
          "expect");
    if (A.Expected && questions.empty()) Say("nothing was asked");
    if (closing && MainWindow()) Say("editor still open");
  }

 private:
  static std::string Word(int id) {
    return id == IDYES  ? "yes"
           : id == IDNO ? "no"
           : id == IDOK ? "ok"
                        : "cancel";
  }
  QuestionAnswer A;
  std::vector<DialogPlan> Plans;
};

// The answer "answer" kept for this step, if any.
QuestionAnswer TakeQuestionAnswer() {
  const QuestionAnswer a = Answer.Question;
  Answer.Question = QuestionAnswer{};
  return a;
}

void RunDialogStep(const DialogPlan &plan) {
  if (!OffersCommand(CaptionOf(plan))) {
    Say("error: no plug-in offers " + Quote(CaptionOf(plan)));
    return;
  }
  Watched w(TakeQuestionAnswer(), &plan);
  RunOffered(CaptionOf(plan));
  w.Report(false);
}

// Keys from a person; a dialog they open, or the question they bring up,
// is answered as "answer" planned.
void KeysStep(const std::string &keys) {
  const PendingAnswer answer = Answer;
  Answer = PendingAnswer{};
  Watched w(answer.Question, answer.Dialog ? &answer.Plan : nullptr);
  const std::string error = PressKeys(keys);
  w.Report(answer.Question.Expected);
  if (!error.empty() && MainWindow())
    Say("error: keys " + Quote(keys) + ": " + error);
}

enum class Closing { Button, LogOff, LogOffCalledOff, LogOffNow };

// As the title bar's close button does, or Windows when the person logs off;
// or when the log-off is called off after the editor agreed (another program
// refused to end); or when Windows cannot wait for any answer.
void CloseStep(const QuestionAnswer &a, Closing how) {
  Watched w(a, nullptr);
  const LPARAM critical = how == Closing::LogOffNow ? ENDSESSION_CRITICAL : 0;
  if (how == Closing::Button) {
    SendMessageA(MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (SendMessageA(MainWindow(), WM_QUERYENDSESSION, 0, critical)) {
    SendMessageA(MainWindow(), WM_ENDSESSION, how != Closing::LogOffCalledOff,
                 critical);
  }
  w.Report(true);
}

// The person logs off and, while the editor's question is still up, tells
// Windows to go on anyway: the session ends without the answer.
void CALLBACK EndWhileAsking(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  if (MainWindow() && IsWindowEnabled(MainWindow())) return;
  KillTimer(nullptr, timer);
  if (!MainWindow()) return;
  SayLiteral("the session ends while the question is up");
  SendMessageA(MainWindow(), WM_ENDSESSION, TRUE, 0);
}

void LogOffAnyway() {
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, EndWhileAsking);
  const bool agreed = SendMessageA(MainWindow(), WM_QUERYENDSESSION, 0, 0);
  KillTimer(nullptr, timer);
  if (agreed && MainWindow())  // nothing to ask about: it ends as agreed
    SendMessageA(MainWindow(), WM_ENDSESSION, TRUE, 0);
  if (MainWindow()) Say("editor still open");
}

void ClearStep() {
  Watched w(TakeQuestionAnswer(), nullptr);
  ClearAsked();
  w.Report(false);
}

// Letters in UTF-8, whatever the ANSI code page.
std::string Utf8(const std::wstring &text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(
      CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
      static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

void Show() {
  const History &entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    Say("entry " + n + ": " + QuoteEntry(entries[i]));
    Say("row " + n + " (UTF-8): " + Quote(Utf8(HistoryRowText(entries[i]))));
  }
  Say("statement box: " + QuoteEntry(StatementText()));
}

// Windows ends the session while the editor is busy: a plug-in's command
// runs, or its own question is up (either disables the window). The editor
// must refuse to end rather than ask again or start "Save history" inside.
void CALLBACK LogOffWhileBusy(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  if (!CommandRunning() && IsWindowEnabled(MainWindow())) return;
  KillTimer(nullptr, timer);
  const bool agreed = SendMessageA(MainWindow(), WM_QUERYENDSESSION, 0, 0);
  SayLiteral(agreed ? "log-off while busy: the editor agreed to end"
                    : "log-off while busy: the editor refused to end");
}

// Steps that only a test build offers: faults no person could cause.
bool FaultStep(const std::string &step) {
  if (StartsWith(step, "throw-in ")) return ThrowNextTimeIn(step.substr(9));
  if (!TakesFaults()) return false;
  if (step == "log-off-while-busy") {
    SetTimer(nullptr, 0, 50, LogOffWhileBusy);
    return true;
  }
  if (step != "hide-title-bar") return false;
  HWND w = MainWindow();
  SetWindowLongA(w, GWL_STYLE, GetWindowLongA(w, GWL_STYLE) & ~WS_CAPTION);
  SetWindowPos(w, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  return true;
}

// Runs one step; false at "quit".
bool Step(const std::string &step) {
  Say("step: " + step);
  if (step == "quit") return false;
  MaybeThrowIn("step");
  std::string text, error, rest;
  size_t n = 0;
  DialogPlan plan;
  QuestionAnswer question;
  if (step == "clear") {
    ClearStep();
  } else if (step == "undo-delete") {
    UndoDelete();
  } else if (step == "show") {
    Show();
  } else if (Called(step, "run", rest)) {
    if (!UnescapeText(rest, text, error)) {
      Say("error: " + error);
    } else {
      Watched w(TakeQuestionAnswer(), nullptr);
      if (MayReplaceStatement(text, "Not run")) {
        SetStatementText(text);
        RunStatementBox();
      }
      w.Report(false);
    }
  } else if (StartsWith(step, "delete ") && Number(step.substr(7), n)) {
    DeleteEntry(n);
  } else if (StartsWith(step, "recall ") && Number(step.substr(7), n)) {
    Watched w(TakeQuestionAnswer(), nullptr);
    RecallAsked(n);
    w.Report(false);
  } else if (StartsWith(step, "fill ") && Number(step.substr(5), n)) {
    FillHistory(n);
  } else if (StartsWith(step, "type ")) {
    if (!UnescapeText(step.substr(5), text, error)) {
      Say("error: " + error);
    } else if (!(error = TypeText(text)).empty()) {
      Say("error: typing: " + error);
    }
  } else if (StartsWith(step, "keys ")) {
    KeysStep(step.substr(5));
  } else if ((Called(step, "answer question", rest) ||
              Called(step, "answer close", rest)) &&
             AnswerOf(rest, question)) {
    Answer.Question = question;
  } else if (StartsWith(step, "answer ") && DialogStep(step.substr(7), plan)) {
    Answer.Dialog = true;
    Answer.Plan = plan;
  } else if (Called(step, "close", rest) && AnswerOf(rest, question)) {
    CloseStep(question, Closing::Button);
  } else if (Called(step, "log-off", rest) && AnswerOf(rest, question)) {
    CloseStep(question, Closing::LogOff);
  } else if (Called(step, "log-off-called-off", rest) &&
             AnswerOf(rest, question)) {
    CloseStep(question, Closing::LogOffCalledOff);
  } else if (step == "log-off-now") {
    CloseStep(QuestionAnswer{}, Closing::LogOffNow);
  } else if (step == "log-off-anyway") {
    LogOffAnyway();
  } else if (StartsWith(step, "snap-menu ")) {
    error = SnapMenu(MainWindow(), PluginsMnemonic, step.substr(10));
    Say(error.empty() ? "snapshot: " + Quote(step.substr(10))
                      : "error: no picture of the menu: " + error);
  } else if (DialogStep(step, plan)) {
    RunDialogStep(plan);
  } else if (!FaultStep(step)) {
    Say("error: unknown step " + Quote(step));
  }
  return true;
}

// A step ends inside the editor whatever it throws, with a line that says so.
bool GuardedStep(const std::string &step) noexcept {
  try {
    return Step(step);
  } catch (...) {
    char line[256];
    std::snprintf(line, sizeof line, "error: the step failed: %s",
                  ThrownReason());
    SayLiteral(line);
  }
  return true;
}

std::string SnapBox;  // the first install box is pictured here

void BeforeInstall() {
  ArmMessageBoxes(SnapBox);
}

void AfterInstall() {
  for (const MessageBoxSeen &box : FinishMessageBoxes()) {
    Say("message box: caption " + Quote(box.Caption) + ", text " +
        Quote(box.Text) + (box.Owned ? ", owned" : ", no owner"));
    if (!box.Snapshot.empty()) Say("snapshot: " + Quote(box.Snapshot));
    if (!box.SnapFailure.empty())
      Say("error: no picture of the box: " + box.SnapFailure);
    SnapBox.clear();  // pictured, or tried: only the first box
  }
}

}  // namespace

void ReadInstallBoxes(const std::string &snapBox) {
  SnapBox = snapBox;
  WatchInstalls(BeforeInstall, AfterInstall);
}

void RunScript(const std::string &script) {
  std::vector<std::string> steps = SplitScript(script);
  // Work kept when a session ended is offered before the first step; a
  // first step "kept ok" or "kept cancel" answers the offer.
  QuestionAnswer offer;
  std::string rest;
  if (!steps.empty() && Called(steps.front(), "kept", rest) &&
      (rest == "ok" || rest == "cancel")) {
    Say("step: " + steps.front());
    AnswerOf(rest == "ok" ? "no" : "cancel", offer);
    steps.erase(steps.begin());
  }
  {
    Watched w(offer, nullptr);
    OfferKeptWork();
    w.Report(false);
  }
  for (const std::string &step : steps) {
    if (!GuardedStep(step)) break;
    if (!MainWindow()) {
      Say("editor closed");
      break;
    }
  }
}

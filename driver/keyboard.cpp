#include "driver/keyboard.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "driver/autopilot.h"
#include "editor/message_pump.h"
#include "editor/window.h"

namespace {

constexpr DWORD FrontTimeoutMs = 3000;
// Keys are handled once the queue has stayed empty this long; a command they
// start (a dialog, a menu) runs inside the dispatch and holds the loop.
constexpr DWORD IdleMs = 200;
constexpr DWORD HandledTimeoutMs = 20000;
constexpr DWORD CloseStepMs = 1000;  // between harder ways to close

// Keys go to the window in front; a scripted run's window is brought there.
std::string BringToFront() {
  const DWORD deadline = GetTickCount() + Paced(FrontTimeoutMs);
  // What a window that just went (a question) left queued, such as the
  // display telling that the focus moved, is handled first: handled after
  // the keys it would take them away.
  if (!PumpPending()) return "the editor closed";
  SetForegroundWindow(MainWindow());
  while (GetForegroundWindow() != MainWindow()) {
    if (Reached(deadline))
      return "the editor's window did not come to the front";
    if (!PumpPending()) return "the editor closed";
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return {};
}

struct Watch {
  DWORD Deadline = 0, NextStepAt = 0;
  int Step = 0;
} Overdue;

// Keys that leave a menu open or a dialog up would hold the loop inside
// them for ever: past the deadline they are closed, harder each second,
// until they are gone. Timers tick inside menus' and dialogs' own loops too.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) noexcept {
  if (!Reached(Overdue.Deadline) || !Reached(Overdue.NextStepAt)) return;
  CloseWhatIsUp(Overdue.Step < 3 ? Overdue.Step++ : 3);
  Overdue.NextStepAt = GetTickCount() + CloseStepMs;
}

// Handles messages, as the editor's loop does, until the keys and whatever
// they started are done, or they closed the editor. Timers (the autopilot's)
// tick but do not count as work still queued.
std::string Handle() {
  Overdue = Watch{};
  Overdue.Deadline = Overdue.NextStepAt =
      GetTickCount() + Paced(HandledTimeoutMs);
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 250, Watchdog);
  DWORD idleSince = GetTickCount();
  bool late = false;
  while (!Reached(idleSince + IdleMs)) {
    if (!PumpPending()) break;  // closed: nothing is left to handle
    if (GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT))
      idleSince = GetTickCount();
    late = late || Reached(Overdue.Deadline);
    if (Reached(Overdue.Deadline + Paced(HandledTimeoutMs) / 4)) break;  // busy
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  KillTimer(nullptr, watchdog);
  return late ? "the keys were not all handled in time: what they opened "
                "was closed"
              : std::string();
}

void Key(std::vector<INPUT> &out, WORD vk, bool up) {
  INPUT i = {};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = vk;
  i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  out.push_back(i);
}

void Character(std::vector<INPUT> &out, wchar_t c) {
  for (bool up : {false, true}) {
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wScan = c;
    i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    out.push_back(i);
  }
}

// A right click at a point of the screen, as a person's mouse makes it.
void RightClick(std::vector<INPUT> &out, POINT at) {
  const int width = GetSystemMetrics(SM_CXSCREEN),
            height = GetSystemMetrics(SM_CYSCREEN);
  for (DWORD button : {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}) {
    INPUT i = {};
    i.type = INPUT_MOUSE;
    i.mi.dx = MulDiv(at.x, 65535, width - 1);
    i.mi.dy = MulDiv(at.y, 65535, height - 1);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | button;
    out.push_back(i);
  }
}

struct ContextMenuAt {
  HWND Over = nullptr;  // none: no menu to ask for
  POINT At = {};
};

std::string Send(std::vector<INPUT> &inputs, const ContextMenuAt &menu = {}) {
  std::string error = BringToFront();
  if (!error.empty()) return error;
  if (menu.Over) {
    PumpFor(IdleMs);  // the focus changes of coming to the front go first
    PostMessageA(MainWindow(), WM_CONTEXTMENU,
                 reinterpret_cast<WPARAM>(menu.Over),
                 MAKELPARAM(menu.At.x, menu.At.y));
  }
  const UINT sent =
      SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) {
    return "only " + std::to_string(sent) + " of " +
           std::to_string(inputs.size()) + " key events were taken";
  }
  return Handle();
}

WORD VirtualKey(const std::string &name) {
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'a' && c <= 'z') return static_cast<WORD>(c - 'a' + 'A');
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'f') {
    const int n = std::atoi(name.c_str() + 1);
    if (n >= 1 && n <= 12) return static_cast<WORD>(VK_F1 + n - 1);
  }
  static const struct {
    const char *Name;
    WORD Vk;
  } Named[] = {
      {"enter", VK_RETURN},   {"tab", VK_TAB},     {"esc", VK_ESCAPE},
      {"del", VK_DELETE},     {"home", VK_HOME},   {"end", VK_END},
      {"up", VK_UP},          {"down", VK_DOWN},   {"left", VK_LEFT},
      {"right", VK_RIGHT},    {"space", VK_SPACE}, {"apps", VK_APPS},
      {"backspace", VK_BACK},
  };
  for (const auto &k : Named) {
    if (name == k.Name) return k.Vk;
  }
  return 0;
}

}  // namespace

std::string TypeText(const std::string &text) {
  std::vector<INPUT> inputs;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      Key(inputs, VK_RETURN, false);
      Key(inputs, VK_RETURN, true);
      continue;
    }
    wchar_t c = 0;
    if (MultiByteToWideChar(CP_ACP, 0, &text[i], 1, &c, 1) != 1) {
      return "byte " + std::to_string(static_cast<unsigned char>(text[i])) +
             " is no character of this code page";
    }
    Character(inputs, c);
  }
  return Send(inputs);
}

std::string PressKeys(const std::string &keys) {
  std::vector<INPUT> inputs;
  ContextMenuAt menuAt;
  size_t start = 0;
  while (start < keys.size()) {
    size_t end = keys.find(' ', start);
    if (end == std::string::npos) end = keys.size();
    std::string token = keys.substr(start, end - start);
    start = end + 1;
    if (token.empty()) continue;
    if (token.size() > 2 && token.rfind("U+", 0) == 0) {
      // Any character, as a keyboard laid out for it types it.
      char *end = nullptr;
      const unsigned long c = std::strtoul(token.c_str() + 2, &end, 16);
      if (*end || c == 0 || c > 0xFFFF) return "no such character: " + token;
      Character(inputs, static_cast<wchar_t>(c));
      continue;
    }
    const bool bar = token.rfind("right-click-bar:", 0) == 0;
    if (bar || token.rfind("right-click:", 0) == 0) {
      POINT at;
      const std::string number = token.substr(token.find(':') + 1);
      const size_t row = std::strtoul(number.c_str(), nullptr, 10);
      if (!HistoryRowOnScreen(row, at, bar))
        return "no history row " + number + " to click";
      if (bar) {
        // Wine's scroll bar keeps a right click to itself; Windows tells the
        // window of it as a context menu at that point, before the keys
        // that follow.
        POINT inList;
        HistoryRowOnScreen(row, inList);
        menuAt = {WindowFromPoint(inList), at};
        continue;
      }
      RightClick(inputs, at);
      continue;
    }
    std::vector<WORD> held;
    for (size_t plus; (plus = token.find('+')) != std::string::npos &&
                      plus + 1 < token.size();) {
      const std::string mod = token.substr(0, plus);
      token.erase(0, plus + 1);
      if (mod == "ctrl") {
        held.push_back(VK_CONTROL);
      } else if (mod == "alt") {
        held.push_back(VK_MENU);
      } else if (mod == "shift") {
        held.push_back(VK_SHIFT);
      } else {
        return "no such modifier key: " + mod;
      }
    }
    const WORD vk = VirtualKey(token);
    if (!vk) return "no such key: " + token;
    for (WORD h : held) Key(inputs, h, false);
    Key(inputs, vk, false);
    Key(inputs, vk, true);
    for (size_t i = held.size(); i-- > 0;) Key(inputs, held[i], true);
  }
  if (inputs.empty() && !menuAt.Over) return "no keys given";
  return Send(inputs, menuAt);
}

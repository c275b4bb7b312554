#include "editor/message_pump.h"

namespace {

bool (*Filter)(MSG &) = nullptr;

// The wide forms throughout: a character typed reaches the statement box as
// typed, not already squeezed into the ANSI code page by the ANSI pump.
void Dispatch(MSG &m) {
  if (Filter && Filter(m)) return;
  TranslateMessage(&m);
  DispatchMessageW(&m);
}

}  // namespace

void SetMessageFilter(bool (*filter)(MSG &)) {
  Filter = filter;
}

bool PumpPending() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // for the main loop
      return false;
    }
    Dispatch(m);
  }
  return true;
}

void PumpFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (!Reached(end) && PumpPending()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

void RunMessageLoop() {
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) Dispatch(m);
}

bool Reached(DWORD when) {
  return GetTickCount() - when < 0x80000000u;
}

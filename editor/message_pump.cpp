#include "editor/message_pump.h"

namespace {

bool (*Filter)(MSG &) = nullptr;

void Dispatch(MSG &m) {
  if (Filter && Filter(m)) return;
  TranslateMessage(&m);
  DispatchMessageA(&m);
}

}  // namespace

void SetMessageFilter(bool (*filter)(MSG &)) {
  Filter = filter;
}

void PumpPending() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // for the main loop
      return;
    }
    Dispatch(m);
  }
}

void PumpFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (!Reached(end)) {
    PumpPending();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

void RunMessageLoop() {
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) Dispatch(m);
}

bool Reached(DWORD when) {
  return GetTickCount() - when < 0x80000000u;
}

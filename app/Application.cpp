#include "app/Application.h"

void TApplication::Run() {
  MSG msg;
  while (!Terminated_) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      Terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void TApplication::Terminate() {
  if (Terminated_) return;
  Terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Terminated_ = true;
      return;
    }
    Dispatch(msg);
  }
}

bool TApplication::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    ProcessMessages();
    if (done()) return true;
    if (Terminated_) return done();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= static_cast<DWORD>(timeoutMs)) return done();
    // Wake for any input, and at least every 10 ms for conditions that no
    // message announces (a thread ending, a file growing).
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void TApplication::Dispatch(MSG& msg) {
  if (MainWindow_ && IsWindow(MainWindow_) && IsDialogMessageA(MainWindow_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

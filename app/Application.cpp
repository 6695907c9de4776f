#include "app/Application.h"

#include <chrono>

void TApplication::Run() {
  MSG msg;
  while (!QuitTaken_) {
    RunDeferred();
    if (QuitTaken_) break;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      Terminated_ = QuitTaken_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void TApplication::Terminate() {
  if (Terminated_) return;
  Terminated_ = true;
  Deferred_.clear();
  PostQuitMessage(0);
}

void TApplication::Defer(std::function<void()> call) {
  if (Terminated_) return;
  Deferred_.push_back(std::move(call));
}

void TApplication::RunDeferred() {
  while (!Deferred_.empty() && !Terminated_) {
    std::function<void()> call = std::move(Deferred_.front());
    Deferred_.pop_front();
    call();
  }
  if (Terminated_) Deferred_.clear();
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Terminated_ = QuitTaken_ = true;
      return;
    }
    Dispatch(msg);
  }
}

void TApplication::HandleMessage() {
  // Input already waiting counts too: a message that arrived while the caller
  // was busy must not wait for the next one.
  MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  ProcessMessages();
}

bool TApplication::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  using TClock = std::chrono::steady_clock;
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ProcessMessages();
    RunDeferred();
    if (done()) return true;
    if (Terminated_) return done();
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    if (left <= 0) return done();
    // Wake for any input, and at least every 10 ms for conditions that no
    // message announces (a thread ending, a file growing).
    DWORD wait = static_cast<DWORD>(left < 10 ? left : 10);
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void TApplication::Dispatch(MSG& msg) {
  if (MainWindow_ && IsWindow(MainWindow_) && IsDialogMessageA(MainWindow_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

// The program as a whole: its title and its message loop. "Exit", the close box
// and a refused start ask it to end; the loop then returns and the status
// window is destroyed by its owner.
class TApplication {
 public:
  std::string Title = "ORVANE";

  // The window whose dialog keys (TAB between controls) the loop handles.
  void SetMainWindow(HWND window) { MainWindow_ = window; }

  // Handles messages until the application's quit message has been taken out
  // of the queue. It is taken, not left behind: a box shown afterwards, while
  // the status window shuts down, would otherwise end the moment it appears.
  void Run();
  // Asks the loop to end; safe to call before Run (Run then returns at once).
  void Terminate();
  // True once the end has been asked for.
  bool Terminated() const { return Terminated_; }

  // Handles the messages that are waiting; for tests and for code that must
  // let the window paint while it works.
  void ProcessMessages();
  // Waits until at least one message has come (sent or posted), then handles
  // every waiting one. The user-interface thread's way of waiting for another
  // thread: the windows go on answering and painting meanwhile.
  void HandleMessage();
  // Handles messages until done() is true, the application is told to end or
  // timeoutMs (on a steady clock) has passed; returns done().
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);

  // Runs call from the message loop itself (Run, or RunUntil), after the
  // message being handled, in the order deferred; never from a loop nested
  // in a handler (a wait, a box, a dialog). Calls still waiting when the end
  // is asked for are dropped.
  void Defer(std::function<void()> call);

 private:
  void Dispatch(MSG& msg);
  void RunDeferred();

  HWND MainWindow_ = nullptr;
  bool Terminated_ = false;
  // The quit message has been taken out of the queue (by whichever loop).
  bool QuitTaken_ = false;
  std::deque<std::function<void()>> Deferred_;
};

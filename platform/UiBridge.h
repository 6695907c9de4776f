#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TThread;

// Hands calls from worker threads to the user-interface thread. Send runs a call
// there and waits for it (its exception comes back to the sender); Post queues a
// call and returns at once. The queue itself is portable: the Win32 window gives
// a wake function that posts a message to itself, and its window procedure calls
// RunPending; tests run a thread that serves the queue instead.
class TUiBridge {
 public:
  using TCall = std::function<void()>;

  // wake is called (from any thread) whenever a call has been queued.
  // waitForWork blocks the user-interface thread until something may have
  // changed, doing its usual work meanwhile: the window's message pump, which
  // waits for the next messages (the wake message among them) and dispatches
  // them, so that the window goes on answering while the thread waits for
  // another. It returns false when it cannot wait that way (no window to
  // wake); the wait is then, as without one, for a call to be queued.
  explicit TUiBridge(std::function<void()> wake = {}, std::function<bool()> waitForWork = {});
  TUiBridge(const TUiBridge&) = delete;
  TUiBridge& operator=(const TUiBridge&) = delete;

  // Makes the calling thread the user-interface thread.
  void BindToCurrentThread();
  bool OnUiThread() const;

  // Runs call on the user-interface thread and waits until it has run. On the
  // user-interface thread itself the call runs at once.
  void Send(const TCall& call);
  // Queues call for the user-interface thread.
  void Post(TCall call);

  // On the user-interface thread: runs every queued call. Returns how many ran.
  int RunPending();
  // On the user-interface thread: blocks until thread has ended, serving the
  // calls that other threads hand over meanwhile (so that a thread waiting in
  // Send can finish and end) and, through waitForWork, the window's messages.
  // The thread's end is signalled to this wait; nothing polls.
  void ServeUntilFinished(TThread& thread);
  // Runs call and returns when it has run, its exception passed on. On the
  // user-interface thread it runs on a thread of its own, waited for as
  // ServeUntilFinished waits, so that a call which blocks on the network leaves
  // the window answering; on any other thread it runs at once.
  void RunAside(const TCall& call);
  // Serves calls until Quit() is called; for test "UI" threads and tools.
  void Serve();
  void Quit();

 private:
  struct TItem {
    TCall Call;
    bool Synchronous = false;
    bool Done = false;
    std::exception_ptr Error;
  };

  void WaitForWork();

  std::function<void()> Wake_;
  std::function<bool()> WaitForWork_;
  std::thread::id UiThread_;
  mutable std::mutex Mutex_;
  std::condition_variable Changed_;
  std::deque<std::shared_ptr<TItem>> Queue_;
  bool QuitRequested_ = false;
};

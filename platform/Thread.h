#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A worker thread with a stop request that its body looks at, and a way for the
// owner to wait for its end. The derived class starts it with Start() once it is
// fully constructed (a base-class constructor cannot call the derived body).
class TThread {
 public:
  TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Requests a stop and waits: a thread object never outlives its body.
  virtual ~TThread();

  void Start();
  // Sets the stop request; the body decides when to look at it.
  void Terminate() { StopRequested_ = true; }
  bool Terminated() const { return StopRequested_; }
  // True once the body has returned (or was never started).
  bool Finished() const { return !Started_ || Finished_; }
  // Blocks until the body has returned.
  void WaitFor();
  // Waits at most ms milliseconds, measured on a steady clock; true when the
  // body has returned.
  bool WaitFor(int ms);
  // Calls notify once the body has returned: on the ending thread, or at once
  // on the caller's when it already has. For waiters that cannot block on this
  // object (the user-interface thread, which must go on reading its messages).
  void OnFinished(std::function<void()> notify);
  bool IsCurrentThread() const { return std::this_thread::get_id() == Thread_.get_id(); }

 protected:
  virtual void Execute() = 0;

 private:
  void Run();

  std::thread Thread_;
  std::atomic<bool> Started_{false};
  std::atomic<bool> StopRequested_{false};
  std::atomic<bool> Finished_{false};
  std::mutex Mutex_;
  std::condition_variable Ended_;
  std::vector<std::function<void()>> FinishListeners_;  // guarded by Mutex_
};

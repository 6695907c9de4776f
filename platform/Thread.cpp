#include "platform/Thread.h"

#include <chrono>

TThread::~TThread() {
  Terminate();
  if (Thread_.joinable()) {
    if (IsCurrentThread())
      Thread_.detach();
    else
      Thread_.join();
  }
}

void TThread::Start() {
  Started_ = true;
  Thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    // A thread body reports its own failures; nothing may escape a thread.
  }
  std::vector<std::function<void()>> listeners;
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Finished_ = true;
    listeners.swap(FinishListeners_);
  }
  Ended_.notify_all();
  for (const auto& notify : listeners) notify();
}

void TThread::OnFinished(std::function<void()> notify) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (!Finished()) {
      FinishListeners_.push_back(std::move(notify));
      return;
    }
  }
  notify();
}

void TThread::WaitFor() {
  std::unique_lock<std::mutex> lock(Mutex_);
  Ended_.wait(lock, [this] { return Finished(); });
}

bool TThread::WaitFor(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::unique_lock<std::mutex> lock(Mutex_);
  return Ended_.wait_until(lock, deadline, [this] { return Finished(); });
}

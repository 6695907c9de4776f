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
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Finished_ = true;
  }
  Ended_.notify_all();
}

void TThread::WaitFor() {
  std::unique_lock<std::mutex> lock(Mutex_);
  Ended_.wait(lock, [this] { return Finished(); });
}

bool TThread::WaitFor(int ms) {
  std::unique_lock<std::mutex> lock(Mutex_);
  return Ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Finished(); });
}

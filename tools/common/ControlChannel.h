#pragma once

#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

// Commands typed on standard input, one a line, collected by a reader thread so
// that a tool's loop (a select loop, which cannot wait on a console under
// Windows, or a writer that keeps its pace) only has to poll a queue.
// Header-only, because the tools' build makes one program of every folder
// under tools/.
class TControlChannel {
 public:
  TControlChannel() = default;
  TControlChannel(const TControlChannel&) = delete;
  TControlChannel& operator=(const TControlChannel&) = delete;
  ~TControlChannel() {
    // The reader may sit in a read of the console for ever; the process is
    // ending anyway, so it is let go rather than waited for.
    if (Reader_.joinable()) Reader_.detach();
  }

  void Start() {
    Reader_ = std::thread([this] { ReadLoop(); });
  }
  // Takes the oldest waiting command; false when none is waiting.
  bool Take(std::string& command) {
    std::lock_guard<std::mutex> lock(Mutex_);
    if (Commands_.empty()) return false;
    command = std::move(Commands_.front());
    Commands_.pop_front();
    return true;
  }

 private:
  void ReadLoop() {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::lock_guard<std::mutex> lock(Mutex_);
      Commands_.push_back(line);
    }
    // End of input: the tool keeps running without a control channel.
  }

  std::mutex Mutex_;
  std::deque<std::string> Commands_;
  std::thread Reader_;
};

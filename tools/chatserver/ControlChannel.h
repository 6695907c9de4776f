#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <thread>

// Commands typed on standard input, one a line, collected by a reader thread so
// that the server's select loop (which cannot wait on a console under Windows)
// only has to poll a queue.
class TControlChannel {
 public:
  TControlChannel() = default;
  TControlChannel(const TControlChannel&) = delete;
  TControlChannel& operator=(const TControlChannel&) = delete;
  ~TControlChannel();

  void Start();
  // Takes the oldest waiting command; false when none is waiting.
  bool Take(std::string& command);

 private:
  void ReadLoop();

  std::mutex Mutex_;
  std::deque<std::string> Commands_;
  std::thread Reader_;
};

// Turns \t, \r, \n, \\ and \xHH in a command argument into their bytes, so that
// tests can make the server send any byte.
std::string Unescape(const std::string& text);

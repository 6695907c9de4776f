#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/Process.h"

// tools/chatserver run by a test: on an ephemeral loopback port (or a given one,
// to restart it where the controller expects it), with its control channel on
// standard input and its printed lines parsed back.
class TChatServerProcess {
 public:
  struct TReceived {
    std::string Who;   // "#1" before the sign-on, "#1 _Name" after it
    std::string Line;  // the line as it came, without CR LF
  };

  // Waits until the server listens; throws std::runtime_error when it does not.
  explicit TChatServerProcess(const std::vector<std::string>& extraArgs = {}, int port = 0,
                              const std::string& workDir = "");
  int Port() const { return Port_; }

  // Runs a control command and waits for the server's "OK".
  bool Command(const std::string& command, int timeoutMs = 20000);
  // Every line received from clients so far, in arrival order.
  std::vector<TReceived> Received() const;
  // Only the lines, for comparisons.
  std::vector<std::string> ReceivedLines() const;
  // Waits until at least count lines have been received.
  bool WaitForReceivedCount(size_t count, int timeoutMs);
  // Waits until a printed line (event or received) contains text.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  // Counts printed lines that contain text.
  size_t CountOutput(const std::string& text) const;

  // Ends the server at once, as a crash or a restart would.
  void Kill();
  TProcess& Process() { return *Process_; }

 private:
  std::unique_ptr<TProcess> Process_;
  int Port_ = 0;
};

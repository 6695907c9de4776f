#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A stand-in for the directory on 127.0.0.1:port that answers every request
// with the same reply bytes, for replies tools/directory does not give (a body
// of many megabytes). It waits for the client to close each connection, so
// the port is free again for the next server at once.
class TDirectoryStandIn {
 public:
  TDirectoryStandIn(int port, std::string reply);
  ~TDirectoryStandIn();
  TDirectoryStandIn(const TDirectoryStandIn&) = delete;
  TDirectoryStandIn& operator=(const TDirectoryStandIn&) = delete;

  bool Listening() const { return Listener_ != ~static_cast<uintptr_t>(0); }
  int Requests() const { return Requests_; }
  // The head of the last request received.
  std::string LastRequest() const;

 private:
  void Serve();

  std::string Reply_;
  uintptr_t Listener_ = ~static_cast<uintptr_t>(0);
  std::atomic<bool> Stopping_{false};
  std::atomic<int> Requests_{0};
  mutable std::mutex Lock_;
  std::string LastRequest_;
  std::thread Thread_;
};

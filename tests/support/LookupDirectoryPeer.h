#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A hostile or plain HTTP peer on 127.0.0.1 for the address lookup: it
// answers every request head with the same scripted bytes, or with nothing at
// all, and counts the connections it accepts. One connection is served at a
// time; the client under test makes one at a time.
class TDirectoryPeer {
 public:
  // reply: the bytes sent for each request, status line included.
  // closeAfterReply: end the connection after each reply.
  explicit TDirectoryPeer(std::string reply, bool closeAfterReply = true);
  ~TDirectoryPeer();
  TDirectoryPeer(const TDirectoryPeer&) = delete;
  TDirectoryPeer& operator=(const TDirectoryPeer&) = delete;

  // Makes every later request go unanswered. The connection stays open until
  // the client gives up, or for 10 s, so a client without a time-out fails
  // instead of hanging the test.
  void SetSilent();
  void SetReply(std::string reply);
  // Makes every later request answered one byte every intervalMs, a head that
  // never ends, until the client gives up, or for 10 s.
  void SetDripping(int intervalMs);
  // Makes every later request answered with the reply after delayMs.
  void SetDelay(int delayMs);

  int Port() const { return Port_; }
  // "http://127.0.0.1:port"
  std::string BaseUrl() const;
  int Connections() const { return Connections_; }
  // Connections that the client closed before this server did.
  int ClosedByClient() const { return ClosedByClient_; }
  // Waits up to timeoutMs for ClosedByClient() to reach count.
  bool WaitClosedByClient(int count, int timeoutMs) const;
  // Every request head received, up to and including its empty line.
  std::vector<std::string> Requests() const;

 private:
  void Run();
  void Serve(std::uintptr_t socket);
  void Drip(std::uintptr_t socket, int intervalMs);

  std::uintptr_t Listener_;  // the socket, kept opaque here
  int Port_ = 0;
  std::atomic<bool> Stop_{false};
  std::atomic<int> Connections_{0};
  std::atomic<int> ClosedByClient_{0};
  mutable std::mutex Mutex_;
  std::string Reply_;
  bool Silent_ = false;
  int DripMs_ = 0;  // 0: no drip
  int DelayMs_ = 0;
  bool CloseAfterReply_;
  std::vector<std::string> Requests_;
  std::thread Thread_;
};

// An HTTP/1.1 reply with a Content-Length for body and the connection closed
// after it.
std::string DirectoryReplyBytes(int status, const std::string& reason, const std::string& body,
                                const std::string& extraHeaders = "");

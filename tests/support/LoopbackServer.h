#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Test servers on 127.0.0.1 at ports the system chooses, working the same on
// Linux and Windows (under Wine). They use the platform's sockets directly, not
// the socket port under test. Every wait has an upper bound, so a faulty client
// fails a test instead of hanging it.

constexpr int kLoopbackWaitMs = 5000;

// The server's end of one accepted connection.
class TLoopbackPeer {
 public:
  TLoopbackPeer() = default;
  explicit TLoopbackPeer(intptr_t socket);
  TLoopbackPeer(TLoopbackPeer&& other) noexcept;
  TLoopbackPeer& operator=(TLoopbackPeer&& other) noexcept;
  ~TLoopbackPeer() { Close(); }

  bool Valid() const;
  // Sends all bytes; throws std::runtime_error when the client is gone.
  void Send(const std::string& bytes);
  // Exactly count bytes; fewer when the client closes first or timeoutMs passes.
  std::string Receive(size_t count, int timeoutMs = kLoopbackWaitMs);
  // Up to and including the next LF; fewer bytes on a close or time-out.
  std::string ReceiveLine(int timeoutMs = kLoopbackWaitMs);
  // Everything until the client closes or timeoutMs passes.
  std::string ReceiveUntilClose(int timeoutMs = kLoopbackWaitMs);
  // Appends what one receive brings within timeoutMs (nothing on a time-out);
  // false once the client has closed.
  bool ReceiveAvailable(std::string& into, int timeoutMs = kLoopbackWaitMs);
  // Drops whatever arrives until the client closes (true) or timeoutMs passes.
  bool WaitForClose(int timeoutMs = kLoopbackWaitMs);
  // Half close: the client sees the end of the stream, the peer can still read.
  void ShutdownSend();
  void Close();
  // Abortive close: the client's next operation meets a reset. (Wine closes
  // gracefully unless bytes the client sent are still unread.)
  void Reset();

 private:
  // Waits for readability; false when timeoutMs passed.
  bool WaitReadable(int timeoutMs) const;
  // One receive of up to size bytes; 0 on the client's close or an error.
  size_t ReceiveSome(char* buffer, size_t size);

  // Lets a server's Stop shut the socket down from another thread without ever
  // touching a descriptor number that Close has already given back.
  struct TGuard {
    std::mutex Lock;
    intptr_t Socket;
  };
  friend class TLoopbackServer;

  intptr_t Socket_ = -1;
  std::shared_ptr<TGuard> Guard_;
};

// A listening socket on 127.0.0.1.
class TLoopbackServer {
 public:
  TLoopbackServer();
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  int Port() const { return Port_; }
  // The next client; throws std::runtime_error when none comes within timeoutMs.
  TLoopbackPeer Accept(int timeoutMs = kLoopbackWaitMs);
  // From now on runs handler on a thread of its own for every client that
  // connects, with the client's number (1, 2... in the order of accepting),
  // until Stop (or the destructor) shuts those connections down and waits for
  // the handlers.
  void Serve(std::function<void(TLoopbackPeer&, int)> handler);
  void Stop();
  // Clients accepted by Serve so far.
  int Accepted() const { return Accepted_; }

 private:
  intptr_t Listener_ = -1;
  int Port_ = 0;
  std::atomic<bool> Stopping_{false};
  std::atomic<int> Accepted_{0};
  std::thread Acceptor_;
  std::mutex Lock_;
  std::vector<std::thread> Handlers_;
  std::vector<std::shared_ptr<TLoopbackPeer::TGuard>> Served_;
};

// A loopback port where nothing listens: held bound (so no other test takes it)
// but never listening, so a connect to it is refused.
class TRefusingPort {
 public:
  TRefusingPort();
  ~TRefusingPort();
  TRefusingPort(const TRefusingPort&) = delete;
  TRefusingPort& operator=(const TRefusingPort&) = delete;
  int Port() const { return Port_; }

 private:
  intptr_t Socket_ = -1;
  int Port_ = 0;
};

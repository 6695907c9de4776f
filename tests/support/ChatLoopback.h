#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Raw loopback peers for the chat tests: a listener standing in for the chat
// server where a test wants every byte in its own hands, and the connected
// socket of either side. Everything waits at most the time it is given.
class TChatPeer {
 public:
  explicit TChatPeer(intptr_t socket);
  ~TChatPeer();
  TChatPeer(const TChatPeer&) = delete;
  TChatPeer& operator=(const TChatPeer&) = delete;

  // Connects to 127.0.0.1:port; null when refused.
  static std::unique_ptr<TChatPeer> Connect(int port);

  bool Send(const std::string& bytes);
  // Reads until the bytes received so far hold at least count CR LF line ends
  // (or the peer closes, or the time is up) and returns everything received.
  std::string ReadLines(size_t count, int timeoutMs);
  // Reads until the peer has closed (or the time is up); true when it has.
  bool WaitForClose(int timeoutMs);
  // Whether the read that found the peer gone failed (a reset) rather than
  // reading the end of the stream.
  bool EndedByError() const { return EndedByError_; }
  // Everything received so far.
  const std::string& Received() const { return Received_; }
  // Reads what arrives within timeoutMs.
  void Drain(int timeoutMs);
  void Close();

 private:
  // Reads once if data comes within ms; false when the peer has closed.
  bool ReadOnce(int ms);

  intptr_t Socket_;
  std::string Received_;
  bool PeerClosed_ = false;
  bool EndedByError_ = false;
};

class TChatListener {
 public:
  TChatListener();
  ~TChatListener();
  TChatListener(const TChatListener&) = delete;
  TChatListener& operator=(const TChatListener&) = delete;

  int Port() const { return Port_; }
  // Null when nobody connected within timeoutMs.
  std::unique_ptr<TChatPeer> Accept(int timeoutMs);
  void Close();

 private:
  intptr_t Socket_;
  int Port_ = 0;
};

// Counts CR LF pairs.
size_t CountLines(const std::string& bytes);

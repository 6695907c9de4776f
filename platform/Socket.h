#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The socket port: IPv4 stream sockets and host lookup.
//
// Every failure is reported as a Windows Sockets 2 error code (10061 refused,
// 11001 host not found...) on every platform, so that the line client's
// messages read the same everywhere; 0 means success. The POSIX adapter turns
// its error numbers into those codes.
//
// The line client reaches the network only through TSocketStack, so a stack that
// plays scripted bytes (tests/support/TcpMemorySocket.h) can stand in for the
// platform's and protocol parsers can be tested and fuzzed without a network.

// The Windows Sockets codes that the line client itself tells apart.
constexpr int kWsaeInterrupted = 10004;
constexpr int kWsaeWouldBlock = 10035;
constexpr int kWsaeAddrInUse = 10048;
constexpr int kWsaeAddrNotAvail = 10049;
constexpr int kWsaeConnAborted = 10053;
constexpr int kWsaeConnReset = 10054;
constexpr int kWsaeShutdown = 10058;
constexpr int kWsaeTimedOut = 10060;
constexpr int kWsaeConnRefused = 10061;
constexpr int kWsaHostNotFound = 11001;

// One socket. Blocking calls wait on the calling thread; Shutdown may be called
// from another thread while one of them waits. The descriptor is released by the
// destructor and never before, so the owner decides when its number may be
// handed out again.
class TSocket {
 public:
  virtual ~TSocket() = default;
  // Binds to any local address and a port the system chooses.
  virtual int BindAny() = 0;
  // Connects to an IPv4 address in host byte order; blocks as long as the
  // platform's connect takes.
  virtual int Connect(uint32_t address, int port) = 0;
  // Connects as Connect does, but waits at most waitMs for the peer (then
  // 10060, timed out) and gives up at once (10004, interrupted) when abandon()
  // turns true; it is asked every short slice of the wait. A connect to a host
  // that drops the request would otherwise wait as long as the system keeps
  // retrying (21 s on Windows, minutes on Linux). The default waits as Connect
  // does, for sockets that connect at once.
  virtual int ConnectWithin(uint32_t address, int port, int waitMs,
                            const std::function<bool()>& abandon) {
    (void)waitMs;
    (void)abandon;
    return Connect(address, port);
  }
  // Waits up to timeoutMs (0: just looks) until a receive would not block; the
  // peer's close and a pending error count as readable.
  virtual int WaitReadable(int timeoutMs, bool& readable) = 0;
  // Waits up to timeoutMs (0: just looks) until a send would take at least one
  // byte; a pending error counts as writable.
  virtual int WaitWritable(int timeoutMs, bool& writable) = 0;
  // Receives up to size bytes without waiting; received 0 means the peer has
  // closed, and 10035 (would block) that nothing has come after all.
  virtual int Receive(char* buffer, size_t size, size_t& received) = 0;
  // Sends up to size bytes without waiting for room: sent may be less than
  // size, and 10035 (would block) means that nothing fits now. A peer that
  // stops reading fills the buffers; a send that waited for them would wait
  // for ever, so the caller waits with WaitWritable within its own bounds.
  virtual int Send(const char* buffer, size_t size, size_t& sent) = 0;
  // Shuts the sending direction down: the peer sees the end of the stream.
  // The receiving side stays open, so what the peer still sends is taken in
  // rather than answered with a reset, which could cost the peer the lines it
  // had not read yet. A call waiting on this socket in another thread is not
  // woken by this; the line client's waits are cut into short slices instead.
  virtual void Shutdown() = 0;
};

// The platform's socket layer, kept up while this object lives.
class TSocketStack {
 public:
  virtual ~TSocketStack() = default;
  // A new IPv4 stream socket.
  virtual int CreateSocket(std::unique_ptr<TSocket>& socket) = 0;
  // The first IPv4 address of a host name, in host byte order.
  virtual int LookupHost(const std::string& name, uint32_t& address) = 0;
};

// Starting the platform's socket layer.
struct TSocketStackStart {
  std::shared_ptr<TSocketStack> Stack;  // null when the layer did not start
  bool LibraryMissing = false;          // the socket library could not be loaded at all
  std::string Library;                  // its name
  std::string Reason;                   // the system's text for why it did not load
};

// Starts the socket layer for one network object. The layer stays up as long as
// any stack object (or socket made from one) lives, and is stopped after the
// last one goes.
TSocketStackStart StartSocketStack();

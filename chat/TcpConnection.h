#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "chat/HostLookup.h"
#include "chat/IdErrors.h"
#include "platform/Socket.h"

enum TIdMaxLineAction { maException, maSplit };

// One TCP connection for text protocols: its input buffer, its reads and writes
// and its errors (chat/IdErrors.h). One thread may read while others write, test
// IsConnected or close; writers are serialised for a whole SendLine/SendBlock.
//
// The socket comes from a TSocketStack (platform/Socket.h): by default the
// platform's, started when the object is made (on Windows this loads the socket
// library and may throw EIdWS2StubError or EIdStackInitializationFailed). Tests
// and fuzzers hand in a stack of scripted bytes with UseSocketStack
// (tests/support/TcpMemorySocket.h), so protocol code above can be driven without
// a network.
//
// Threads. Four locks, taken in this order when a thread needs more than one:
// ConnectLock_ (one OpenConnection at a time), ReadLock_ (the reader: input
// buffer and line search, held for a whole read), WriteLock_ (one writer for a
// whole block; a bounded send waits for it no longer than its bound), StateLock_ (socket object,
// open socket, closed flag; held only for a few instructions, never across a wait). A read or write
// takes a reference to the open socket under StateLock_ and works on it without the lock. Closing
// shuts the socket's sending side down (the peer sees the end of the stream, and what it still
// sends is not refused) and drops the connection's reference; the descriptor itself goes when the
// last operation that holds a reference lets go, so its number cannot be handed to a new socket
// while an old reader still waits on it. Waits are cut into short slices that look at the socket's
// closed mark, so a close by another thread ends them on every platform. A connect empties the
// input buffer under ReadLock_, so it waits for a reader of the old connection to leave (within a
// slice of the close) and nothing of the old connection is read on the new
// one. Reads never wait for writes.
class TIdTCPConnection {
 public:
  TIdTCPConnection();
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;
  virtual ~TIdTCPConnection();

  // Properties, with the class defaults.
  int ReadTimeout = 0;  // milliseconds; 0 waits without limit
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;  // stored only
  int MaxLineLength = 16384;   // 0: no limit
  TIdMaxLineAction MaxLineAction = maException;
  // Longest wait of a connect, its name lookup included, in milliseconds; then
  // it fails with 10060 (timed out). 0 leaves it to the system.
  int ConnectTimeout = 0;
  // Longest time a send may go without making progress, in milliseconds: a
  // peer that stays connected but stops reading fills the buffers, and then
  // the send fails with 10060 and the connection is closed (a line cut in two
  // leaves nothing that could be sent after it). 0: no limit.
  int SendTimeout = 0;

  bool IsConnected();
  void SendLine(const std::string& text);
  // As SendLine, but the whole call ends within boundMs, the wait for another
  // writer included: for the user-interface thread, which must not hang on a
  // peer that stopped reading. When the bound is reached the link is lost: the
  // connection is closed (which also frees a writer stuck before this one) and
  // the call fails with 10060.
  void SendLine(const std::string& text, int boundMs);
  char ReceiveChar();
  std::string ReceiveLine();
  void CloseConnection();

  // Operations the HTTP client adds.
  void SendBlock(const std::string& bytes);
  void SendBlock(const std::string& bytes, int boundMs);
  std::string ReceiveBytes(size_t count);
  std::string ReceiveUntilClose();
  void PollForClose();
  // As above, appending to into as bytes are handed out: what was handed out
  // before an error stays there.
  void ReceiveBytes(size_t count, std::string& into);
  void ReceiveUntilClose(std::string& into);

  // Bounds every wait of the connection (the connect and each read) by one
  // moment, whatever ReadTimeout says: a read that reaches it fails with
  // EIdReadTimeout, a connect with the time-out's socket error. For a whole
  // exchange that must end in time however slowly the peer answers. Set and
  // cleared by the thread that connects and reads.
  void SetDeadline(std::chrono::steady_clock::time_point deadline);
  void ClearDeadline();
  // Asked every wait slice (about 100 ms) while the connection connects (its
  // name lookup included), waits for room to send, or reads: true gives the
  // wait up at once (EIdClosedSocket, or the interrupted connect's socket
  // error 10004), so that a thread asked to stop ends promptly. A send given
  // up half-way closes the connection. Set before the connection is used, by
  // its owner.
  std::function<bool()> Abandon;
  // When set, reads ask this instead of Abandon: where one thread reads and
  // another writes, each is stopped on its own.
  std::function<bool()> AbandonRead;

  // Replaces the socket layer (null: the platform's); the next OpenConnection
  // uses it.
  void UseSocketStack(std::shared_ptr<TSocketStack> stack);

 protected:
  // The connect of TIdTCPClient, to the given host and port.
  void Connect(const std::string& host, int port, const std::function<void()>& connected);

 private:
  // One open socket, shared by the operations that use it.
  struct TLiveSocket {
    explicit TLiveSocket(std::unique_ptr<TSocket> socket) : Socket(std::move(socket)) {}
    const std::unique_ptr<TSocket> Socket;
    std::atomic<bool> Closed{false};  // closed by this side
  };
  using TLiveSocketRef = std::shared_ptr<TLiveSocket>;

  // StateLock_ held:
  void CloseSocketLocked();
  void ClosingCheckLocked();
  bool CountsClosedLocked() const;

  // ReadLock_ held:
  size_t ReceiveOnce(int timeoutMs);
  void WaitForData(TLiveSocket& socket, int timeoutMs);
  size_t Buffered() const { return Buffer_.size() - Head_; }
  std::string Take(size_t count);
  void TakeInto(size_t count, std::string& into);
  void EmptyBuffer();

  // Whether the owner wants the current wait given up.
  bool Abandoned() const { return Abandon && Abandon(); }
  // The address of host, looked up within deadline (ConnectLock_ held).
  uint32_t Resolve(const std::string& host, bool bounded,
                   std::chrono::steady_clock::time_point deadline);
  // Sends the whole block over socket, waiting for room within the bounds.
  void SendAll(const std::shared_ptr<TLiveSocket>& socket, const std::string& bytes,
               std::chrono::steady_clock::time_point callDeadline);
  // Takes the write lock (held by lock, unlocked) unless deadline passes first.
  static bool LockWithin(std::unique_lock<std::mutex>& lock,
                         std::chrono::steady_clock::time_point deadline);
  // Closes socket if it is still the open one: the link it carried is lost.
  void DropSocket(const std::shared_ptr<TLiveSocket>& socket);

  std::shared_ptr<TSocketStack> Stack_;  // guarded by ConnectLock_
  // The last name lookup, while it may still be running: a connect to the same
  // name waits for it instead of starting another, so a DNS server that never
  // answers costs one thread, not one per try. Guarded by ConnectLock_.
  std::shared_ptr<THostLookup> Lookup_;

  std::mutex ConnectLock_;
  std::mutex ReadLock_;
  std::mutex WriteLock_;
  std::mutex StateLock_;

  // Guarded by StateLock_.
  bool HasSocketObject_ = false;  // made by OpenConnection, released by CloseConnection
  TLiveSocketRef Socket_;         // the open socket; null when closed or none
  bool ClosedFlag_ = false;

  // Guarded by ReadLock_: received bytes not yet handed out are Buffer_ from
  // Head_ on; the first Searched_ of them are known to hold no LF.
  std::string Buffer_;
  size_t Head_ = 0;
  size_t Searched_ = 0;
  // Guarded by ReadLock_.
  bool HasDeadline_ = false;
  std::chrono::steady_clock::time_point Deadline_;
};

// Adds the target and the connect.
class TIdTCPClient : public TIdTCPConnection {
 public:
  std::string Host;
  int Port = 0;
  // Runs inside OpenConnection on the calling thread after the connect has
  // succeeded; an error it raises closes the socket and leaves OpenConnection.
  std::function<void(TIdTCPClient& sender)> OnConnected;

  void OpenConnection();
};

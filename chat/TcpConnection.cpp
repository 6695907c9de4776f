#include "chat/TcpConnection.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "chat/HostAddress.h"

namespace {

using TClock = std::chrono::steady_clock;

// Longest single wait on a socket. A close by another thread is noticed within
// one slice even where the platform does not wake a waiting select.
constexpr int kWaitSliceMs = 100;

// Consumed bytes are dropped from the front of the buffer only once they
// outweigh the rest, so handing out bytes one at a time stays linear.
constexpr size_t kCompactAt = 65536;

bool ClosesTheSocket(int code) {
  return code == kWsaeConnAborted || code == kWsaeConnReset || code == kWsaeShutdown;
}

std::shared_ptr<TSocketStack> RequireSocketStack() {
  TSocketStackStart start = StartSocketStack();
  if (start.Stack) return start.Stack;
  if (start.LibraryMissing) throw EIdWS2StubError(start.Reason, start.Library);
  throw EIdStackInitializationFailed();
}

}  // namespace

TIdTCPConnection::TIdTCPConnection() : Stack_(RequireSocketStack()) {}

TIdTCPConnection::~TIdTCPConnection() {
  CloseConnection();
}

void TIdTCPConnection::UseSocketStack(std::shared_ptr<TSocketStack> stack) {
  std::lock_guard<std::mutex> connecting(ConnectLock_);
  Stack_ = stack ? std::move(stack) : RequireSocketStack();
}

void TIdTCPConnection::SetDeadline(TClock::time_point deadline) {
  std::lock_guard<std::mutex> reading(ReadLock_);
  HasDeadline_ = true;
  Deadline_ = deadline;
}

void TIdTCPConnection::ClearDeadline() {
  std::lock_guard<std::mutex> reading(ReadLock_);
  HasDeadline_ = false;
}

// --- Socket state (StateLock_ held) ---

void TIdTCPConnection::CloseSocketLocked() {
  ClosedFlag_ = true;
  TLiveSocketRef socket = std::move(Socket_);
  Socket_.reset();
  if (socket && !socket->Closed.exchange(true)) socket->Socket->Shutdown();
}

void TIdTCPConnection::ClosingCheckLocked() {
  if (HasSocketObject_ && ClosedFlag_ && Socket_) CloseSocketLocked();
}

bool TIdTCPConnection::CountsClosedLocked() const {
  return HasSocketObject_ && (ClosedFlag_ || !Socket_);
}

bool TIdTCPConnection::IsConnected() {
  std::lock_guard<std::mutex> state(StateLock_);
  ClosingCheckLocked();
  return HasSocketObject_ && Socket_;
}

void TIdTCPConnection::CloseConnection() {
  std::lock_guard<std::mutex> state(StateLock_);
  if (HasSocketObject_) {
    ClosedFlag_ = true;
    if (Socket_) CloseSocketLocked();
  }
  HasSocketObject_ = false;
}

// --- Connect ---

void TIdTCPConnection::Connect(const std::string& host, int port,
                               const std::function<void()>& connected) {
  std::lock_guard<std::mutex> connecting(ConnectLock_);
  bool bounded;
  TClock::time_point deadline;
  {
    std::lock_guard<std::mutex> reading(ReadLock_);
    std::lock_guard<std::mutex> state(StateLock_);
    if (Socket_) throw EIdAlreadyConnected();
    EmptyBuffer();
    ClosedFlag_ = false;
    bounded = HasDeadline_ || Abandon || ConnectTimeout > 0;
    deadline = HasDeadline_ ? Deadline_ : TClock::time_point::max();
  }
  if (ConnectTimeout > 0)
    deadline = std::min(deadline, TClock::now() + std::chrono::milliseconds(ConnectTimeout));
  TLiveSocketRef made;
  bool installed = false;
  try {
    std::unique_ptr<TSocket> socket;
    if (Stack_->CreateSocket(socket) != 0 || !socket) throw EIdInvalidSocket();
    made = std::make_shared<TLiveSocket>(std::move(socket));
    int code = made->Socket->BindAny();
    if (code == kWsaeAddrInUse) throw EIdCouldNotBindSocket();
    if (code != 0) throw EIdSocketError(code);
    uint32_t address = Resolve(host, bounded, deadline);
    // A port outside 16 bits would wrap around to another port.
    if (port < 0 || port > 65535) throw EIdSocketError(kWsaeAddrNotAvail);
    if (bounded) {
      // Without a deadline the wait is left to the system, as an unbounded connect's is.
      constexpr int kSystemsOwnWait = 24 * 60 * 60 * 1000;
      const long long left =
          deadline == TClock::time_point::max()
              ? kSystemsOwnWait
              : std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now())
                    .count();
      const int waitMs = static_cast<int>(std::clamp<long long>(left, 0, kSystemsOwnWait));
      code = made->Socket->ConnectWithin(address, port, waitMs, [this] { return Abandoned(); });
    } else {
      code = made->Socket->Connect(address, port);
    }
    if (code != 0) throw EIdSocketError(code);
    {
      std::lock_guard<std::mutex> state(StateLock_);
      HasSocketObject_ = true;
      Socket_ = made;
      ClosedFlag_ = false;
      installed = true;
    }
    if (connected) connected();
  } catch (...) {
    std::lock_guard<std::mutex> state(StateLock_);
    if (!made) {
      if (HasSocketObject_) ClosedFlag_ = true;
    } else if (!installed) {
      // The new socket becomes the socket object, closed.
      if (!made->Closed.exchange(true)) made->Socket->Shutdown();
      HasSocketObject_ = true;
      Socket_.reset();
      ClosedFlag_ = true;
    } else if (Socket_ == made) {
      CloseSocketLocked();
    }
    throw;
  }
}

uint32_t TIdTCPConnection::Resolve(const std::string& host, bool bounded,
                                   TClock::time_point deadline) {
  uint32_t address = 0;
  if (!bounded || IsLiteralHost(host)) return ResolveHost(*Stack_, host);
  // Every connect asks the system afresh (a changed DNS record is followed at
  // the next try); only a lookup of the same name that is still running is
  // waited for instead of started again.
  if (!Lookup_ || Lookup_->Answered() || Lookup_->Name() != host)
    Lookup_ = std::make_shared<THostLookup>(Stack_, host);
  std::shared_ptr<THostLookup> lookup = Lookup_;
  int code = lookup->Wait(
      deadline, [this] { return Abandoned(); }, address);
  if (lookup->Answered()) Lookup_.reset();
  if (code != 0) throw EIdSocketError(code);
  return address;
}

void TIdTCPClient::OpenConnection() {
  Connect(Host, Port, [this] {
    if (OnConnected) OnConnected(*this);
  });
}

// --- Writing ---

void TIdTCPConnection::SendLine(const std::string& text) {
  SendBlock(text + "\r\n", 0);
}

void TIdTCPConnection::SendLine(const std::string& text, int boundMs) {
  SendBlock(text + "\r\n", boundMs);
}

void TIdTCPConnection::SendBlock(const std::string& bytes) {
  SendBlock(bytes, 0);
}

void TIdTCPConnection::SendBlock(const std::string& bytes, int boundMs) {
  const TClock::time_point callDeadline =
      boundMs > 0 ? TClock::now() + std::chrono::milliseconds(boundMs) : TClock::time_point::max();
  std::unique_lock<std::mutex> writing(WriteLock_, std::defer_lock);
  if (boundMs <= 0) {
    writing.lock();
  } else if (!LockWithin(writing, callDeadline)) {
    // Another writer has held the connection for the whole bound: it is stuck
    // in a send that makes no progress. Closing the connection frees it too.
    TLiveSocketRef stuck;
    {
      std::lock_guard<std::mutex> state(StateLock_);
      stuck = Socket_;
    }
    if (!stuck) throw EIdConnClosedGracefully();
    DropSocket(stuck);
    throw EIdSocketError(kWsaeTimedOut);
  }
  TLiveSocketRef socket;
  {
    std::lock_guard<std::mutex> state(StateLock_);
    ClosingCheckLocked();
    if (CountsClosedLocked()) throw EIdConnClosedGracefully();
    if (!HasSocketObject_) throw EIdNotConnected();
    socket = Socket_;
  }
  SendAll(socket, bytes, callDeadline);
}

void TIdTCPConnection::SendAll(const TLiveSocketRef& live, const std::string& bytes,
                               TClock::time_point callDeadline) {
  TLiveSocket& socket = *live;
  const auto stallLimit = std::chrono::milliseconds(SendTimeout);
  TClock::time_point progressDeadline =
      SendTimeout > 0 ? TClock::now() + stallLimit : TClock::time_point::max();
  size_t done = 0;
  while (done < bytes.size()) {
    if (socket.Closed) throw EIdClosedSocket();
    size_t sent = 0;
    int code = socket.Socket->Send(bytes.data() + done, bytes.size() - done, sent);
    if (code == 0) {
      done += sent;
      if (sent > 0 && SendTimeout > 0) progressDeadline = TClock::now() + stallLimit;
      continue;
    }
    if (code != kWsaeWouldBlock) {
      if (socket.Closed) throw EIdClosedSocket();
      if (ClosesTheSocket(code)) {
        std::lock_guard<std::mutex> state(StateLock_);
        if (Socket_ == live) CloseSocketLocked();
      }
      throw EIdSocketError(code);
    }
    // The buffers are full: the peer is slow, or has stopped reading.
    // A line given up half-way leaves the stream unusable: the link is lost.
    if (Abandoned()) {
      DropSocket(live);
      throw EIdClosedSocket();
    }
    const TClock::time_point now = TClock::now();
    const TClock::time_point until = std::min(callDeadline, progressDeadline);
    if (now >= until) {
      DropSocket(live);
      throw EIdSocketError(kWsaeTimedOut);
    }
    const long long left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    bool writable = false;
    code = socket.Socket->WaitWritable(
        static_cast<int>(std::clamp<long long>(left, 1, kWaitSliceMs)), writable);
    if (code != 0) {
      if (socket.Closed) throw EIdClosedSocket();
      throw EIdSocketError(code);
    }
  }
}

bool TIdTCPConnection::LockWithin(std::unique_lock<std::mutex>& lock, TClock::time_point deadline) {
  // Looked at every millisecond rather than waited for with a timed lock: a
  // writer holds the lock for microseconds unless it is stuck, so the loop
  // runs only then. (A timed lock's wait is also hidden from the thread
  // checker, which then takes every unlock for a fault.)
  while (!lock.try_lock()) {
    if (TClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void TIdTCPConnection::DropSocket(const TLiveSocketRef& socket) {
  std::lock_guard<std::mutex> state(StateLock_);
  if (Socket_ == socket) CloseSocketLocked();
}

// --- Reading (ReadLock_ held) ---

void TIdTCPConnection::EmptyBuffer() {
  Buffer_.clear();
  Head_ = 0;
  Searched_ = 0;
}

void TIdTCPConnection::TakeInto(size_t count, std::string& into) {
  count = std::min(count, Buffered());
  into.append(Buffer_, Head_, count);
  Head_ += count;
  Searched_ = Searched_ > count ? Searched_ - count : 0;
  if (Head_ == Buffer_.size()) {
    Buffer_.clear();
    Head_ = 0;
  }
}

std::string TIdTCPConnection::Take(size_t count) {
  std::string taken;
  TakeInto(count, taken);
  return taken;
}

void TIdTCPConnection::WaitForData(TLiveSocket& socket, int timeoutMs) {
  // The read's own time-out or the connection's deadline, whichever comes first.
  const bool bounded = timeoutMs > 0 || HasDeadline_;
  TClock::time_point deadline =
      timeoutMs > 0 ? TClock::now() + std::chrono::milliseconds(timeoutMs) : Deadline_;
  if (HasDeadline_) deadline = std::min(deadline, Deadline_);
  for (;;) {
    const bool abandoned = AbandonRead ? AbandonRead() : Abandoned();
    if (socket.Closed || abandoned) throw EIdClosedSocket();
    int slice = kWaitSliceMs;
    if (bounded) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
      slice = static_cast<int>(std::clamp<long long>(left, 0, kWaitSliceMs));
    }
    bool readable = false;
    int code = socket.Socket->WaitReadable(slice, readable);
    if (code != 0) {
      if (socket.Closed) throw EIdClosedSocket();
      throw EIdSocketError(code);
    }
    if (readable) return;
    if (bounded && TClock::now() >= deadline) throw EIdReadTimeout();
  }
}

// Receiving once: returns the number of bytes added, 0 only when the connection
// has just come to count as closed while bytes are still buffered.
size_t TIdTCPConnection::ReceiveOnce(int timeoutMs) {
  TLiveSocketRef socket;
  {
    std::lock_guard<std::mutex> state(StateLock_);
    ClosingCheckLocked();
    if (CountsClosedLocked() && Buffered() == 0) throw EIdConnClosedGracefully();
    if (!HasSocketObject_ || !Socket_) throw EIdNotConnected();
    socket = Socket_;
  }
  const TClock::time_point started = TClock::now();
  size_t received = 0;
  int code;
  for (;;) {
    // The read's own time-out counts from the first wait, however often a
    // readable socket turns out to hold nothing after all.
    int wait = timeoutMs;
    if (timeoutMs > 0) {
      const long long used =
          std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - started).count();
      wait = static_cast<int>(std::max<long long>(1, timeoutMs - used));
    }
    WaitForData(*socket, wait);

    if (Head_ >= kCompactAt && Head_ * 2 >= Buffer_.size()) {
      Buffer_.erase(0, Head_);
      Head_ = 0;
    }
    const size_t before = Buffer_.size();
    const size_t size = RecvBufferSize > 0 ? static_cast<size_t>(RecvBufferSize) : 1;
    Buffer_.resize(before + size);
    received = 0;
    code = socket->Socket->Receive(&Buffer_[before], size, received);
    Buffer_.resize(before + (code == 0 ? received : 0));
    if (code != kWsaeWouldBlock) break;
  }
  if ((code != 0 || received == 0) && socket->Closed) throw EIdClosedSocket();

  if (code != 0) {
    if (code != kWsaeConnAborted && code != kWsaeShutdown) throw EIdSocketError(code);
    {
      std::lock_guard<std::mutex> state(StateLock_);
      if (Socket_ == socket) CloseSocketLocked();
    }
    if (Buffered() == 0) throw EIdSocketError(code);
    // With bytes still to hand out the failure counts as the peer's close.
  } else if (received == 0) {
    std::lock_guard<std::mutex> state(StateLock_);
    if (Socket_ == socket) ClosedFlag_ = true;
  }

  std::lock_guard<std::mutex> state(StateLock_);
  ClosingCheckLocked();
  if (CountsClosedLocked() && Buffered() == 0) throw EIdConnClosedGracefully();
  return received;
}

char TIdTCPConnection::ReceiveChar() {
  std::lock_guard<std::mutex> reading(ReadLock_);
  while (Buffered() == 0) {
    ReceiveOnce(ReadTimeout);
    std::lock_guard<std::mutex> state(StateLock_);
    ClosingCheckLocked();
    if (CountsClosedLocked()) throw EIdConnClosedGracefully();
  }
  return Take(1)[0];
}

std::string TIdTCPConnection::ReceiveLine() {
  std::lock_guard<std::mutex> reading(ReadLock_);
  const size_t limit = MaxLineLength > 0 ? static_cast<size_t>(MaxLineLength) : 0;
  for (;;) {
    const char* begin = Buffer_.data() + Head_;
    const char* end = Buffer_.data() + Buffer_.size();
    const char* lf = std::find(begin + Searched_, end, '\n');
    const bool found = lf != end;
    Searched_ = static_cast<size_t>(lf - begin);
    const size_t lineLength = Searched_;  // bytes before the LF, or all when none

    if (limit != 0 && lineLength > limit) {
      if (MaxLineAction == maException) throw EIdReadLnMaxLineLengthExceeded();
      return Take(limit);
    }
    if (found) {
      std::string line = Take(lineLength + 1);
      line.pop_back();
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    {
      std::lock_guard<std::mutex> state(StateLock_);
      ClosingCheckLocked();
      if (CountsClosedLocked()) throw EIdConnClosedGracefully();
    }
    // A receive that adds nothing met the peer's close: the unfinished line
    // stays buffered and the caller gets an empty one.
    if (ReceiveOnce(ReadTimeout) == 0) return std::string();
  }
}

std::string TIdTCPConnection::ReceiveBytes(size_t count) {
  std::string bytes;
  ReceiveBytes(count, bytes);
  return bytes;
}

void TIdTCPConnection::ReceiveBytes(size_t count, std::string& into) {
  std::lock_guard<std::mutex> reading(ReadLock_);
  size_t first = std::min(count, Buffered());
  TakeInto(first, into);
  size_t remaining = count - first;
  const size_t blockSize = RecvBufferSize > 0 ? static_cast<size_t>(RecvBufferSize) : 1;
  while (remaining > 0 && IsConnected()) {
    const size_t block = std::min(remaining, blockSize);
    while (Buffered() < block)
      if (ReceiveOnce(ReadTimeout) == 0) throw EIdConnClosedGracefully();
    TakeInto(block, into);
    remaining -= block;
  }
}

std::string TIdTCPConnection::ReceiveUntilClose() {
  std::string bytes;
  ReceiveUntilClose(bytes);
  return bytes;
}

void TIdTCPConnection::ReceiveUntilClose(std::string& into) {
  std::lock_guard<std::mutex> reading(ReadLock_);
  TakeInto(Buffered(), into);
  while (IsConnected()) {
    try {
      ReceiveOnce(ReadTimeout);
    } catch (const EIdConnClosedGracefully&) {
      break;
    }
    TakeInto(Buffered(), into);
  }
}

void TIdTCPConnection::PollForClose() {
  std::lock_guard<std::mutex> reading(ReadLock_);
  try {
    ReceiveOnce(1);
  } catch (const EIdException&) {
    // Only the effect on the connection's state counts here.
  }
}

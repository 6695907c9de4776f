#pragma once

// A socket layer without a network, for tests and fuzzers of the line client and
// the protocols above it. Each connect is answered by the next scripted peer: it
// hands out the bytes fed to it, one fed chunk at most per receive (so a reply
// can be split where TCP might split it), then closes, fails or stays silent,
// and records everything the client sends.
//
//   auto stack = std::make_shared<TMemorySocketStack>();
//   auto peer = stack->AddPeer();
//   peer->Feed("HTTP/1.1 200 OK\r\n");
//   peer->Feed("Content-Length: 0\r\n\r\n");
//   peer->Close();
//   client.UseSocketStack(stack);
//   ... client.OpenConnection() ... peer->Sent() ...
//
// Header-only, so fuzz targets can use it without the test support library.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Socket.h"

class TMemoryPeer {
 public:
  // Bytes the peer sends; a receive never takes more than one chunk.
  void Feed(std::string bytes) {
    std::lock_guard<std::mutex> lock(Lock_);
    if (!bytes.empty()) Chunks_.push_back(std::move(bytes));
    Changed_.notify_all();
  }
  // The peer closes after the bytes fed so far (and any fed later).
  void Close() {
    std::lock_guard<std::mutex> lock(Lock_);
    Closed_ = true;
    Changed_.notify_all();
  }
  // Once the fed bytes are used up, receives fail with this Windows Sockets code.
  void FailReceives(int code) {
    std::lock_guard<std::mutex> lock(Lock_);
    ReceiveError_ = code;
    Changed_.notify_all();
  }
  // Every send from now on fails with this code.
  void FailSends(int code) {
    std::lock_guard<std::mutex> lock(Lock_);
    SendError_ = code;
  }
  // Sends take at most this many bytes each (0: all), as a full socket
  // buffer would.
  void LimitSends(size_t bytes) {
    std::lock_guard<std::mutex> lock(Lock_);
    SendLimit_ = bytes;
  }
  // A peer that is alive but no longer reads: its buffers are full, and every
  // send takes nothing (would block) until ResumeReading.
  void StopReading() {
    std::lock_guard<std::mutex> lock(Lock_);
    NotReading_ = true;
  }
  void ResumeReading() {
    std::lock_guard<std::mutex> lock(Lock_);
    NotReading_ = false;
    Changed_.notify_all();
  }
  // Everything the client has sent.
  std::string Sent() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return Sent_;
  }
  // True once the client has shut its sending side down.
  bool ShutDownByClient() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return ShutDown_;
  }
  // Bytes fed and not yet received by the client.
  size_t Pending() const {
    std::lock_guard<std::mutex> lock(Lock_);
    size_t n = 0;
    for (const std::string& c : Chunks_) n += c.size();
    return n;
  }

 private:
  friend class TMemorySocket;

  bool ReadableLocked() const { return !Chunks_.empty() || Closed_ || ReceiveError_ != 0; }

  mutable std::mutex Lock_;
  std::condition_variable Changed_;
  std::deque<std::string> Chunks_;
  bool Closed_ = false;
  bool ShutDown_ = false;
  int ReceiveError_ = 0;
  int SendError_ = 0;
  size_t SendLimit_ = 0;
  bool NotReading_ = false;
  std::string Sent_;
};

class TMemorySocket : public TSocket {
 public:
  // hang: when set, a bounded connect first waits in it (a host that drops
  // the connection request); it returns the connect's failure, or 0 to go on.
  using THang = std::function<int(int waitMs, const std::function<bool()>& abandon)>;
  TMemorySocket(int bindError,
                std::function<int(uint32_t, int, std::shared_ptr<TMemoryPeer>&)> connect,
                THang hang = {})
      : BindError_(bindError), ConnectTo_(std::move(connect)), Hang_(std::move(hang)) {}

  int BindAny() override { return BindError_; }

  int Connect(uint32_t address, int port) override {
    if (Hang_) {
      int code = Hang_(-1, {});
      if (code != 0) return code;
    }
    return ConnectTo_(address, port, Peer_);
  }

  int ConnectWithin(uint32_t address, int port, int waitMs,
                    const std::function<bool()>& abandon) override {
    if (Hang_) {
      int code = Hang_(waitMs, abandon);
      if (code != 0) return code;
    }
    return Connect(address, port);
  }

  int WaitReadable(int timeoutMs, bool& readable) override {
    if (!Peer_) return 10057;
    std::unique_lock<std::mutex> lock(Peer_->Lock_);
    readable = Peer_->Changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [this] { return Peer_->ReadableLocked(); });
    return 0;
  }

  int Receive(char* buffer, size_t size, size_t& received) override {
    if (!Peer_) return 10057;
    std::lock_guard<std::mutex> lock(Peer_->Lock_);
    received = 0;
    if (!Peer_->Chunks_.empty()) {
      std::string& chunk = Peer_->Chunks_.front();
      received = std::min(size, chunk.size());
      chunk.copy(buffer, received);
      chunk.erase(0, received);
      if (chunk.empty()) Peer_->Chunks_.pop_front();
      return 0;
    }
    if (Peer_->ReceiveError_ != 0) return Peer_->ReceiveError_;
    return 0;  // closed (or nothing fed: a receive never blocks here)
  }

  int WaitWritable(int timeoutMs, bool& writable) override {
    if (!Peer_) return 10057;
    std::unique_lock<std::mutex> lock(Peer_->Lock_);
    writable = Peer_->Changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
      return !Peer_->NotReading_ || Peer_->ShutDown_ || Peer_->SendError_ != 0;
    });
    return 0;
  }

  int Send(const char* buffer, size_t size, size_t& sent) override {
    if (!Peer_) return 10057;
    std::lock_guard<std::mutex> lock(Peer_->Lock_);
    if (Peer_->ShutDown_) return kWsaeShutdown;
    if (Peer_->SendError_ != 0) return Peer_->SendError_;
    if (Peer_->NotReading_) return kWsaeWouldBlock;
    sent = Peer_->SendLimit_ != 0 ? std::min(size, Peer_->SendLimit_) : size;
    Peer_->Sent_.append(buffer, sent);
    return 0;
  }

  void Shutdown() override {
    if (!Peer_) return;
    std::lock_guard<std::mutex> lock(Peer_->Lock_);
    Peer_->ShutDown_ = true;
    Peer_->Changed_.notify_all();
  }

 private:
  int BindError_;
  std::function<int(uint32_t, int, std::shared_ptr<TMemoryPeer>&)> ConnectTo_;
  THang Hang_;
  std::shared_ptr<TMemoryPeer> Peer_;
};

class TMemorySocketStack : public TSocketStack,
                           public std::enable_shared_from_this<TMemorySocketStack> {
 public:
  // The peer that answers the next connect not yet answered. A connect with no
  // peer left is refused (10061).
  std::shared_ptr<TMemoryPeer> AddPeer() {
    std::lock_guard<std::mutex> lock(Lock_);
    Peers_.push_back(std::make_shared<TMemoryPeer>());
    return Peers_.back();
  }
  // Makes a name known to the host lookup; other names are not found (11001).
  void AddHost(const std::string& name, uint32_t address) {
    std::lock_guard<std::mutex> lock(Lock_);
    Hosts_[name] = address;
  }
  // A host whose connection requests are dropped: every bounded connect waits
  // its whole bound (then 10060) or until it is abandoned (10004); a connect
  // without a bound waits until this is cleared.
  std::atomic<bool> HangConnects{false};
  // A DNS server that never answers: every host lookup waits until
  // ReleaseLookups, and the names are not found then.
  void StallLookups() {
    std::lock_guard<std::mutex> lock(Lock_);
    Stalled_ = true;
  }
  void ReleaseLookups() {
    std::lock_guard<std::mutex> lock(Lock_);
    Stalled_ = false;
    Released_.notify_all();
  }
  // Lookups that have begun and not yet returned.
  int LookupsInProgress() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return InLookup_;
  }
  // Failures of the next operations (0: none).
  std::atomic<int> CreateError{0};
  std::atomic<int> BindError{0};
  std::atomic<int> ConnectError{0};

  // Names looked up and addresses connected to, in order.
  std::vector<std::string> Lookups() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return Lookups_;
  }
  std::vector<std::pair<uint32_t, int>> Connects() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return Connects_;
  }

  int CreateSocket(std::unique_ptr<TSocket>& socket) override {
    if (CreateError != 0) return CreateError;
    std::shared_ptr<TMemorySocketStack> self = shared_from_this();
    socket.reset(new TMemorySocket(
        BindError,
        [self](uint32_t address, int port, std::shared_ptr<TMemoryPeer>& peer) {
          return self->Answer(address, port, peer);
        },
        [self](int waitMs, const std::function<bool()>& abandon) {
          return self->Hang(waitMs, abandon);
        }));
    return 0;
  }

  int LookupHost(const std::string& name, uint32_t& address) override {
    std::unique_lock<std::mutex> lock(Lock_);
    Lookups_.push_back(name);
    if (Stalled_) {
      ++InLookup_;
      Released_.wait(lock, [this] { return !Stalled_; });
      --InLookup_;
      return kWsaHostNotFound;
    }
    auto found = Hosts_.find(name);
    if (found == Hosts_.end()) return kWsaHostNotFound;
    address = found->second;
    return 0;
  }

 private:
  int Answer(uint32_t address, int port, std::shared_ptr<TMemoryPeer>& peer) {
    std::lock_guard<std::mutex> lock(Lock_);
    Connects_.emplace_back(address, port);
    if (ConnectError != 0) return ConnectError;
    if (Peers_.empty()) return kWsaeConnRefused;
    peer = Peers_.front();
    Peers_.pop_front();
    return 0;
  }

  // waitMs -1: until HangConnects is cleared.
  int Hang(int waitMs, const std::function<bool()>& abandon) {
    if (!HangConnects) return 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (HangConnects && (waitMs < 0 || std::chrono::steady_clock::now() < until)) {
      if (abandon && abandon()) return kWsaeInterrupted;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return HangConnects ? kWsaeTimedOut : 0;
  }

  mutable std::mutex Lock_;
  std::condition_variable Released_;
  bool Stalled_ = false;
  int InLookup_ = 0;
  std::deque<std::shared_ptr<TMemoryPeer>> Peers_;
  std::map<std::string, uint32_t> Hosts_;
  std::vector<std::string> Lookups_;
  std::vector<std::pair<uint32_t, int>> Connects_;
};

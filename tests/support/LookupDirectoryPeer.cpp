#include "support/LookupDirectoryPeer.h"

#include <chrono>
#include <stdexcept>
#include <utility>

#include "tools/common/ToolNet.h"

namespace {

using ToolNet::TSocket;

TSocket Sock(std::uintptr_t s) {
  return static_cast<TSocket>(s);
}

// Every wait is short, so the destructor's stop request is seen promptly.
constexpr int kPollMs = 20;
constexpr auto kSilentGiveUp = std::chrono::seconds(10);

}  // namespace

TDirectoryPeer::TDirectoryPeer(std::string reply, bool closeAfterReply)
    : Reply_(std::move(reply)), CloseAfterReply_(closeAfterReply) {
  static ToolNet::TNetStartup net;  // Winsock stays up for the test program's life.
  TSocket listener = ToolNet::Listen("127.0.0.1", 0);
  if (listener == ToolNet::kNoSocket) throw std::runtime_error("directory peer: cannot listen");
  Listener_ = static_cast<std::uintptr_t>(listener);
  Port_ = ToolNet::LocalPort(listener);
  Thread_ = std::thread([this] { Run(); });
}

TDirectoryPeer::~TDirectoryPeer() {
  Stop_ = true;
  Thread_.join();
  ToolNet::CloseSocket(Sock(Listener_));
}

void TDirectoryPeer::SetSilent() {
  std::lock_guard<std::mutex> lock(Mutex_);
  Silent_ = true;
}

void TDirectoryPeer::SetReply(std::string reply) {
  std::lock_guard<std::mutex> lock(Mutex_);
  Reply_ = std::move(reply);
  Silent_ = false;
  DripMs_ = 0;
}

void TDirectoryPeer::SetDripping(int intervalMs) {
  std::lock_guard<std::mutex> lock(Mutex_);
  DripMs_ = intervalMs;
  Silent_ = false;
}

void TDirectoryPeer::SetDelay(int delayMs) {
  std::lock_guard<std::mutex> lock(Mutex_);
  DelayMs_ = delayMs;
}

void TDirectoryPeer::Drip(std::uintptr_t socket, int intervalMs) {
  TSocket s = Sock(socket);
  const std::string head = "HTTP/1.1 200 OK\r\nX-Drip: ";
  const auto giveUp = std::chrono::steady_clock::now() + kSilentGiveUp;
  for (size_t sent = 0; !Stop_ && std::chrono::steady_clock::now() < giveUp; ++sent) {
    if (!ToolNet::SendAll(s, std::string(1, sent < head.size() ? head[sent] : 'a'))) return;
    // The client's close shows as a readable socket with nothing to read.
    if (ToolNet::WaitReadable(s, intervalMs) == 1) {
      char c;
      if (ToolNet::Receive(s, &c, 1) == 0) ++ClosedByClient_;
      return;
    }
  }
}

std::string TDirectoryPeer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(Port_);
}

bool TDirectoryPeer::WaitClosedByClient(int count, int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ClosedByClient_ < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return true;
}

std::vector<std::string> TDirectoryPeer::Requests() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Requests_;
}

void TDirectoryPeer::Run() {
  while (!Stop_) {
    if (ToolNet::WaitReadable(Sock(Listener_), kPollMs) != 1) continue;
    TSocket s = ToolNet::Accept(Sock(Listener_));
    if (s == ToolNet::kNoSocket) continue;
    ++Connections_;
    Serve(static_cast<std::uintptr_t>(s));
    ToolNet::CloseSocket(s);
  }
}

void TDirectoryPeer::Serve(std::uintptr_t socket) {
  TSocket s = Sock(socket);
  std::string buffer;
  bool keptWaiting = false;  // a request went unanswered on this connection
  std::chrono::steady_clock::time_point waitingSince;
  while (!Stop_) {
    if (keptWaiting && std::chrono::steady_clock::now() - waitingSince > kSilentGiveUp) return;
    int ready = ToolNet::WaitReadable(s, kPollMs);
    if (ready < 0) return;
    if (ready == 0) continue;
    char chunk[4096];
    int n = ToolNet::Receive(s, chunk, sizeof chunk);
    if (n == 0) ++ClosedByClient_;
    if (n <= 0) return;
    buffer.append(chunk, static_cast<size_t>(n));
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) != std::string::npos) {
      std::string reply;
      bool silent;
      int drip, delay;
      {
        std::lock_guard<std::mutex> lock(Mutex_);
        Requests_.push_back(buffer.substr(0, end + 4));
        reply = Reply_;
        silent = Silent_;
        drip = DripMs_;
        delay = DelayMs_;
      }
      buffer.erase(0, end + 4);
      if (drip > 0) {
        Drip(socket, drip);
        return;
      }
      if (silent) {
        if (!keptWaiting) waitingSince = std::chrono::steady_clock::now();
        keptWaiting = true;
        continue;
      }
      const auto replyAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
      while (!Stop_ && std::chrono::steady_clock::now() < replyAt)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      if (!ToolNet::SendAll(s, reply)) return;
      if (CloseAfterReply_) {
        ToolNet::ShutdownSend(s);
        return;
      }
    }
  }
}

std::string DirectoryReplyBytes(int status, const std::string& reason, const std::string& body,
                                const std::string& extraHeaders) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + extraHeaders +
         "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

#include "support/LoopbackServer.h"

#include <chrono>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using TNative = SOCKET;
constexpr int kSendFlags = 0;
constexpr int kShutBoth = SD_BOTH;
constexpr int kShutSend = SD_SEND;
void CloseNative(intptr_t s) {
  closesocket(static_cast<TNative>(s));
}
// The tests' own use of Winsock, started once for the test program.
void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}
#else
using TNative = int;
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kShutSend = SHUT_WR;
void CloseNative(intptr_t s) {
  ::close(static_cast<int>(s));
}
void StartSockets() {}
#endif

TNative Native(intptr_t s) {
  return static_cast<TNative>(s);
}

bool WaitReadableNative(intptr_t s, int timeoutMs) {
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Native(s), &set);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
#else
  pollfd p{Native(s), POLLIN, 0};
  int n;
  do n = ::poll(&p, 1, timeoutMs);
  while (n < 0 && errno == EINTR);
  return n > 0;
#endif
}

// A TCP socket bound to 127.0.0.1 at a port the system chooses.
intptr_t BoundLoopbackSocket(int& port) {
  StartSockets();
  TNative s = ::socket(AF_INET, SOCK_STREAM, 0);
#ifdef _WIN32
  if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
#else
  if (s < 0) throw std::runtime_error("socket failed");
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseNative(static_cast<intptr_t>(s));
    throw std::runtime_error("bind on 127.0.0.1 failed");
  }
  port = ntohs(address.sin_port);
  return static_cast<intptr_t>(s);
}

int Remaining(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - std::chrono::steady_clock::now())
                  .count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::chrono::steady_clock::time_point Deadline(int timeoutMs) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

// --- TLoopbackPeer ---

TLoopbackPeer::TLoopbackPeer(intptr_t socket) : Socket_(socket) {}

TLoopbackPeer::TLoopbackPeer(TLoopbackPeer&& other) noexcept
    : Socket_(other.Socket_), Guard_(std::move(other.Guard_)) {
  other.Socket_ = -1;
}

TLoopbackPeer& TLoopbackPeer::operator=(TLoopbackPeer&& other) noexcept {
  if (this != &other) {
    Close();
    Socket_ = other.Socket_;
    Guard_ = std::move(other.Guard_);
    other.Socket_ = -1;
  }
  return *this;
}

bool TLoopbackPeer::Valid() const {
  return Socket_ != -1;
}

void TLoopbackPeer::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    int n = ::send(Native(Socket_), bytes.data() + done, static_cast<int>(bytes.size() - done),
                   kSendFlags);
    if (n <= 0) throw std::runtime_error("loopback peer: send failed");
    done += static_cast<size_t>(n);
  }
}

bool TLoopbackPeer::WaitReadable(int timeoutMs) const {
  return Socket_ != -1 && WaitReadableNative(Socket_, timeoutMs);
}

size_t TLoopbackPeer::ReceiveSome(char* buffer, size_t size) {
  int n = ::recv(Native(Socket_), buffer, static_cast<int>(size), 0);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

std::string TLoopbackPeer::Receive(size_t count, int timeoutMs) {
  auto deadline = Deadline(timeoutMs);
  std::string bytes;
  char buffer[65536];
  while (bytes.size() < count && WaitReadable(Remaining(deadline))) {
    size_t n = ReceiveSome(buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

std::string TLoopbackPeer::ReceiveLine(int timeoutMs) {
  auto deadline = Deadline(timeoutMs);
  std::string line;
  char c;
  while (WaitReadable(Remaining(deadline)) && ReceiveSome(&c, 1) == 1) {
    line += c;
    if (c == '\n') break;
  }
  return line;
}

std::string TLoopbackPeer::ReceiveUntilClose(int timeoutMs) {
  auto deadline = Deadline(timeoutMs);
  std::string bytes;
  char buffer[65536];
  while (WaitReadable(Remaining(deadline))) {
    size_t n = ReceiveSome(buffer, sizeof buffer);
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

bool TLoopbackPeer::ReceiveAvailable(std::string& into, int timeoutMs) {
  if (!WaitReadable(timeoutMs)) return Socket_ != -1;
  char buffer[65536];
  size_t n = ReceiveSome(buffer, sizeof buffer);
  into.append(buffer, n);
  return n > 0;
}

bool TLoopbackPeer::WaitForClose(int timeoutMs) {
  auto deadline = Deadline(timeoutMs);
  char buffer[65536];
  while (WaitReadable(Remaining(deadline)))
    if (ReceiveSome(buffer, sizeof buffer) == 0) return true;
  return false;
}

void TLoopbackPeer::ShutdownSend() {
  if (Socket_ != -1) ::shutdown(Native(Socket_), kShutSend);
}

void TLoopbackPeer::Close() {
  if (Socket_ == -1) return;
  if (Guard_) {
    std::lock_guard<std::mutex> lock(Guard_->Lock);
    CloseNative(Socket_);
    Guard_->Socket = -1;
  } else {
    CloseNative(Socket_);
  }
  Socket_ = -1;
}

void TLoopbackPeer::Reset() {
  if (Socket_ == -1) return;
  linger hard{};
  hard.l_onoff = 1;
  hard.l_linger = 0;
  ::setsockopt(Native(Socket_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
               sizeof hard);
  Close();
}

// --- TLoopbackServer ---

TLoopbackServer::TLoopbackServer() {
  Listener_ = BoundLoopbackSocket(Port_);
  if (::listen(Native(Listener_), 64) != 0) {
    CloseNative(Listener_);
    throw std::runtime_error("listen on 127.0.0.1 failed");
  }
}

TLoopbackServer::~TLoopbackServer() {
  Stop();
  CloseNative(Listener_);
}

TLoopbackPeer TLoopbackServer::Accept(int timeoutMs) {
  if (!WaitReadableNative(Listener_, timeoutMs))
    throw std::runtime_error("loopback server: no client connected in time");
  TNative s = ::accept(Native(Listener_), nullptr, nullptr);
#ifdef _WIN32
  if (s == INVALID_SOCKET) throw std::runtime_error("accept failed");
#else
  if (s < 0) throw std::runtime_error("accept failed");
#endif
  return TLoopbackPeer(static_cast<intptr_t>(s));
}

void TLoopbackServer::Serve(std::function<void(TLoopbackPeer&, int)> handler) {
  Acceptor_ = std::thread([this, handler] {
    while (!Stopping_) {
      if (!WaitReadableNative(Listener_, 50)) continue;
      TLoopbackPeer peer;
      try {
        peer = Accept(0);
      } catch (const std::runtime_error&) {
        continue;
      }
      const int number = ++Accepted_;
      auto guard = std::make_shared<TLoopbackPeer::TGuard>();
      guard->Socket = peer.Socket_;
      peer.Guard_ = guard;
      std::lock_guard<std::mutex> lock(Lock_);
      Served_.push_back(guard);
      Handlers_.emplace_back([handler, number, p = std::move(peer)]() mutable {
        try {
          handler(p, number);
        } catch (const std::exception&) {
          // A client that went away in the middle ends its handler.
        }
      });
    }
  });
}

void TLoopbackServer::Stop() {
  Stopping_ = true;
  if (Acceptor_.joinable()) Acceptor_.join();
  std::vector<std::thread> handlers;
  {
    std::lock_guard<std::mutex> lock(Lock_);
    for (auto& guard : Served_) {
      std::lock_guard<std::mutex> socketLock(guard->Lock);
      if (guard->Socket != -1) ::shutdown(Native(guard->Socket), kShutBoth);
    }
    handlers.swap(Handlers_);
  }
  for (std::thread& t : handlers) t.join();
}

// --- TRefusingPort ---

TRefusingPort::TRefusingPort() {
  Socket_ = BoundLoopbackSocket(Port_);
}

TRefusingPort::~TRefusingPort() {
  CloseNative(Socket_);
}

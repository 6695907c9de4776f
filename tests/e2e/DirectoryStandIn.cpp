#include "e2e/DirectoryStandIn.h"

#include <winsock2.h>

namespace {
// Whether s can be read (or written) within 100 ms.
bool ReadySoon(SOCKET s, bool forWriting = false) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval step = {0, 100000};
  return select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &step) > 0;
}
}  // namespace

TDirectoryStandIn::TDirectoryStandIn(int port, std::string reply) : Reply_(std::move(reply)) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s == INVALID_SOCKET) return;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 4) != 0) {
    closesocket(s);
    return;
  }
  Listener_ = s;
  Thread_ = std::thread([this] { Serve(); });
}

TDirectoryStandIn::~TDirectoryStandIn() {
  Stopping_ = true;
  if (Listening()) closesocket(static_cast<SOCKET>(Listener_));
  if (Thread_.joinable()) Thread_.join();
  WSACleanup();
}

std::string TDirectoryStandIn::LastRequest() const {
  std::lock_guard<std::mutex> lock(Lock_);
  return LastRequest_;
}

void TDirectoryStandIn::Serve() {
  SOCKET listener = static_cast<SOCKET>(Listener_);
  while (!Stopping_) {
    if (!ReadySoon(listener)) continue;
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::string head;
    char buffer[4096];
    // The request head, then the whole reply; then whatever the client sends
    // until it closes (bounded: 30 s).
    for (int waited = 0;
         head.find("\r\n\r\n") == std::string::npos && waited < 300 && !Stopping_;) {
      if (!ReadySoon(client)) {
        ++waited;
        continue;
      }
      int n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    {
      std::lock_guard<std::mutex> lock(Lock_);
      LastRequest_ = head;
    }
    ++Requests_;
    // A client that stops reading half-way (a reply too large for it) must
    // not hold this thread: the reply goes out without blocking, and 30 s
    // without progress end it.
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);
    size_t sent = 0;
    for (int idle = 0; sent < Reply_.size() && idle < 300 && !Stopping_;) {
      if (!ReadySoon(client, true)) {
        ++idle;
        continue;
      }
      int n = send(client, Reply_.data() + sent, static_cast<int>(Reply_.size() - sent), 0);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        idle = 0;
      } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
        break;
      }
    }
    for (int waited = 0; waited < 300 && !Stopping_;) {
      if (!ReadySoon(client)) {
        ++waited;
        continue;
      }
      if (recv(client, buffer, sizeof buffer, 0) <= 0) break;
    }
    closesocket(client);
  }
}

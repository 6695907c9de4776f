#pragma once

// Blocking TCP helpers shared by the tools (the chat server, the directory) and
// by test peers: the few differences between Winsock and BSD sockets live here
// so that the programs above them are written once. Header-only, because the
// tools' build makes one program of every folder under tools/.

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <cstddef>
#include <cstring>
#include <string>

namespace ToolNet {

#ifdef _WIN32
using TSocket = SOCKET;
inline const TSocket kNoSocket = INVALID_SOCKET;
#else
using TSocket = int;
inline const TSocket kNoSocket = -1;
#endif

// Starts the socket layer for as long as the object lives (Winsock needs it;
// elsewhere it only keeps a peer's SIGPIPE from ending the program, which
// MSG_NOSIGNAL already does per send).
class TNetStartup {
 public:
  TNetStartup() {
#ifdef _WIN32
    WSADATA data;
    Ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
#endif
  }
  ~TNetStartup() {
#ifdef _WIN32
    if (Ok_) WSACleanup();
#endif
  }
  TNetStartup(const TNetStartup&) = delete;
  TNetStartup& operator=(const TNetStartup&) = delete;
  bool Ok() const {
    return Ok_;
  }

 private:
  bool Ok_ = true;
};

inline int LastError() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return errno;
#endif
}

inline void CloseSocket(TSocket s) {
  if (s == kNoSocket) return;
#ifdef _WIN32
  closesocket(s);
#else
  ::close(s);
#endif
}

// Closes with a reset instead of the orderly end: a zero linger time makes the
// stack drop what is unsent and answer the peer with RST, as a crashed server
// or a broken route does.
inline void ResetSocket(TSocket s) {
  if (s == kNoSocket) return;
  linger off{};
  off.l_onoff = 1;
  off.l_linger = 0;
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
  CloseSocket(s);
}

// Ends the sending direction, so the peer reads the end of the stream.
inline void ShutdownSend(TSocket s) {
#ifdef _WIN32
  shutdown(s, SD_SEND);
#else
  shutdown(s, SHUT_WR);
#endif
}

// Dotted IPv4 text, or "localhost"; anything else is refused (the tools and
// tests only ever use loopback or a given local address).
inline bool ParseAddress(const std::string& text, in_addr& out) {
  std::string t = text;
  for (char& c : t) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  if (t.empty() || t == "localhost") t = "127.0.0.1";
  unsigned long a = inet_addr(t.c_str());
  if (a == INADDR_NONE && t != "255.255.255.255") return false;
  out.s_addr = static_cast<decltype(out.s_addr)>(a);
  return true;
}

// address:port as a socket address; false when the address is not one.
inline bool SocketAddress(const std::string& address, int port, sockaddr_in& sa) {
  std::memset(&sa, 0, sizeof sa);
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<unsigned short>(port));
  return ParseAddress(address, sa.sin_addr);
}

// A listening socket on address:port (port 0: the system picks a free one).
// kNoSocket when the socket, the bind or the listen fails.
inline TSocket Listen(const std::string& address, int port, int backlog = 16) {
  sockaddr_in sa;
  if (!SocketAddress(address, port, sa)) return kNoSocket;
  TSocket s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return kNoSocket;
#ifndef _WIN32
  // A restarted server takes its old port back at once, as a real one does.
  int yes = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(s, backlog) != 0) {
    CloseSocket(s);
    return kNoSocket;
  }
  return s;
}

inline int LocalPort(TSocket s) {
  sockaddr_in sa;
  socklen_t len = sizeof sa;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return -1;
  return ntohs(sa.sin_port);
}

// Accepts one connection; peer receives "address:port" of the other side.
inline TSocket Accept(TSocket listener, std::string* peer = nullptr) {
  sockaddr_in sa;
  socklen_t len = sizeof sa;
  TSocket s = accept(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  if (s != kNoSocket && peer)
    *peer = std::string(inet_ntoa(sa.sin_addr)) + ":" + std::to_string(ntohs(sa.sin_port));
  return s;
}

inline TSocket Connect(const std::string& address, int port) {
  sockaddr_in sa;
  if (!SocketAddress(address, port, sa)) return kNoSocket;
  TSocket s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return kNoSocket;
  if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    CloseSocket(s);
    return kNoSocket;
  }
  return s;
}

// Sends every byte; false when the peer is gone.
inline bool SendAll(TSocket s, const char* data, size_t count) {
  while (count > 0) {
    int chunk = count > 65536 ? 65536 : static_cast<int>(count);
#ifdef _WIN32
    int n = send(s, data, chunk, 0);
#else
    ssize_t n = send(s, data, static_cast<size_t>(chunk), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

inline bool SendAll(TSocket s, const std::string& bytes) {
  return SendAll(s, bytes.data(), bytes.size());
}

// > 0: bytes read; 0: the peer has closed; < 0: an error.
inline int Receive(TSocket s, char* buffer, int size) {
  for (;;) {
#ifdef _WIN32
    int n = recv(s, buffer, size, 0);
#else
    ssize_t n = recv(s, buffer, static_cast<size_t>(size), 0);
    if (n < 0 && errno == EINTR) continue;
#endif
    return static_cast<int>(n);
  }
}

// 1: readable (data, a pending connection or the peer's close); 0: time-out;
// -1: error.
inline int WaitReadable(TSocket s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  int n = select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv);
  return n > 0 ? 1 : (n == 0 ? 0 : -1);
}

}  // namespace ToolNet

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// The Windows Sockets code for an error number, so that messages read as they
// do on Windows. Numbers without a counterpart pass through unchanged; they
// are far below the Windows Sockets range and get no description.
int WsaCode(int error) {
  switch (error) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
#if defined(ENOTSUP) && ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return kWsaeAddrInUse;
    case EADDRNOTAVAIL:
      return kWsaeAddrNotAvail;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return kWsaeConnAborted;
    // A peer that closed and then reset: Windows reports the reset.
    case EPIPE:
    case ECONNRESET:
      return kWsaeConnReset;
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return kWsaeShutdown;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return kWsaeConnRefused;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    default:
      return error;
  }
}

int LastError() {
  return WsaCode(errno);
}

// Lookup failures as Windows reports them: no such host 11001, a temporary
// failure 11002, a refusing server 11003, a host without an IPv4 address 11004.
int LookupCode(int error) {
  switch (error) {
    case EAI_NONAME:
      return kWsaHostNotFound;
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return 11004;
#endif
    case EAI_MEMORY:
      return 10055;
    case EAI_SYSTEM:
      return LastError();
    default:
      return kWsaHostNotFound;
  }
}

class TPosixSocket : public TSocket {
 public:
  explicit TPosixSocket(int fd) : Fd_(fd) {}
  ~TPosixSocket() override { ::close(Fd_); }

  int BindAny() override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (::bind(Fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return LastError();
    return 0;
  }

  int Connect(uint32_t address, int port) override {
    // Windows refuses the "any" address and port 0 as a destination; Linux
    // would quietly connect to the local host instead.
    if (address == INADDR_ANY || port == 0) return kWsaeAddrNotAvail;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(address);
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(Fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return 0;
    if (errno != EINTR) return LastError();
    // An interrupted connect goes on in the background: wait for its outcome.
    pollfd p{Fd_, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0)
      if (errno != EINTR) return LastError();
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return LastError();
    return error == 0 ? 0 : WsaCode(error);
  }

  int ConnectWithin(uint32_t address, int port, int waitMs,
                    const std::function<bool()>& abandon) override {
    if (address == INADDR_ANY || port == 0) return kWsaeAddrNotAvail;
    const int flags = ::fcntl(Fd_, F_GETFL);
    if (flags < 0 || ::fcntl(Fd_, F_SETFL, flags | O_NONBLOCK) != 0) return LastError();
    int code = WaitConnected(address, port, waitMs, abandon);
    ::fcntl(Fd_, F_SETFL, flags);
    return code;
  }

  int WaitReadable(int timeoutMs, bool& readable) override {
    // poll, not select: a descriptor number past FD_SETSIZE would overrun an fd_set.
    pollfd p{Fd_, POLLIN, 0};
    int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) {
      if (errno != EINTR) return LastError();
      n = 0;  // the caller waits again for what remains
    }
    readable = n > 0;
    return 0;
  }

  int WaitWritable(int timeoutMs, bool& writable) override {
    pollfd p{Fd_, POLLOUT, 0};
    int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) {
      if (errno != EINTR) return LastError();
      n = 0;
    }
    writable = n > 0;
    return 0;
  }

  // Receives and sends never wait, whatever the socket's mode: the flag holds
  // for the one call.
  int Receive(char* buffer, size_t size, size_t& received) override {
    ssize_t n;
    do n = ::recv(Fd_, buffer, size, MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0) return LastError();
    received = static_cast<size_t>(n);
    return 0;
  }

  int Send(const char* buffer, size_t size, size_t& sent) override {
    ssize_t n;
    do n = ::send(Fd_, buffer, size, kNoSignal | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0) return LastError();
    sent = static_cast<size_t>(n);
    return 0;
  }

  // Both directions: the peer sees the end of the stream, and a thread waiting
  // in poll or recv on this socket wakes up at once.
  void Shutdown() override { ::shutdown(Fd_, SHUT_WR); }

 private:
  // The connect of a non-blocking socket, waited for in short slices.
  int WaitConnected(uint32_t address, int port, int waitMs, const std::function<bool()>& abandon) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(address);
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(Fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return 0;
    if (errno != EINPROGRESS && errno != EINTR) return LastError();
    constexpr int kSliceMs = 100;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      if (abandon && abandon()) return kWsaeInterrupted;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      until - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) return kWsaeTimedOut;
      pollfd p{Fd_, POLLOUT, 0};
      int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
      if (n < 0 && errno != EINTR) return LastError();
      if (n > 0) break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return LastError();
    return error == 0 ? 0 : WsaCode(error);
  }

#ifdef MSG_NOSIGNAL
  static constexpr int kNoSignal = MSG_NOSIGNAL;
#else
  static constexpr int kNoSignal = 0;  // SO_NOSIGPIPE is set on the socket instead
#endif
  int Fd_;
};

class TPosixStack : public TSocketStack {
 public:
  int CreateSocket(std::unique_ptr<TSocket>& socket) override {
#ifdef SOCK_CLOEXEC
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
    if (fd < 0) return LastError();
#ifdef SO_NOSIGPIPE
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    socket.reset(new TPosixSocket(fd));
    return 0;
  }

  int LookupHost(const std::string& name, uint32_t& address) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (error != 0) return LookupCode(error);
    int code = kWsaHostNotFound;
    for (addrinfo* a = found; a; a = a->ai_next) {
      if (a->ai_family == AF_INET) {
        address = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        code = 0;
        break;
      }
    }
    ::freeaddrinfo(found);
    return code;
  }
};

}  // namespace

TSocketStackStart StartSocketStack() {
  TSocketStackStart start;
  start.Stack = std::make_shared<TPosixStack>();
  return start;
}

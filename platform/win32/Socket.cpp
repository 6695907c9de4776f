// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Socket.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WinsockLibrary.h"

// The socket library is loaded by name at run time, so the program starts (and
// shows its own message) even where Windows Sockets 2 is missing. Nothing here
// may call a function that the import library of ws2_32 would resolve at load
// time: no htons, inet_addr or FD_ISSET (a call into the DLL in disguise).

namespace {

uint16_t NetworkOrder16(int port) {
  uint16_t p = static_cast<uint16_t>(port);
  return static_cast<uint16_t>((p >> 8) | (p << 8));
}

uint32_t SwapBytes32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// The loaded library with the socket layer started. Stack and sockets share it,
// so the layer is stopped and the library released after the last of them.
class TWinsock {
 public:
  using TStartup = int(WSAAPI*)(WORD, LPWSADATA);
  using TCleanup = int(WSAAPI*)();
  using TSocketCall = SOCKET(WSAAPI*)(int, int, int);
  using TBind = int(WSAAPI*)(SOCKET, const sockaddr*, int);
  using TGetHostByName = hostent*(WSAAPI*)(const char*);
  using TConnect = int(WSAAPI*)(SOCKET, const sockaddr*, int);
  using TSelect = int(WSAAPI*)(int, fd_set*, fd_set*, fd_set*, const timeval*);
  using TRecv = int(WSAAPI*)(SOCKET, char*, int, int);
  using TSend = int(WSAAPI*)(SOCKET, const char*, int, int);
  using TShutdown = int(WSAAPI*)(SOCKET, int);
  using TCloseSocket = int(WSAAPI*)(SOCKET);
  using TIoctlSocket = int(WSAAPI*)(SOCKET, long, u_long*);
  using TGetSockOpt = int(WSAAPI*)(SOCKET, int, int, char*, int*);
  using TGetLastError = int(WSAAPI*)();

  explicit TWinsock(HMODULE library) : Library(library) {}
  ~TWinsock() {
    if (Started) WSACleanup();
    FreeLibrary(Library);
  }

  HMODULE Library;
  bool Started = false;
  TStartup WSAStartup = nullptr;
  TCleanup WSACleanup = nullptr;
  TSocketCall socket = nullptr;
  TBind bind = nullptr;
  TGetHostByName gethostbyname = nullptr;
  TConnect connect = nullptr;
  TSelect select = nullptr;
  TRecv recv = nullptr;
  TSend send = nullptr;
  TShutdown shutdown = nullptr;
  TCloseSocket closesocket = nullptr;
  TIoctlSocket ioctlsocket = nullptr;
  TGetSockOpt getsockopt = nullptr;
  TGetLastError WSAGetLastError = nullptr;
};

template <typename T>
bool Resolve(HMODULE library, const char* name, T& function) {
  function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return function != nullptr;
}

class TWinsockSocket : public TSocket {
 public:
  TWinsockSocket(std::shared_ptr<TWinsock> api, SOCKET s) : Api_(std::move(api)), S_(s) {}
  ~TWinsockSocket() override { Api_->closesocket(S_); }

  int BindAny() override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (Api_->bind(S_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return Error();
    return 0;
  }

  // The socket is non-blocking from its creation (TWinsockStack): a blocking
  // send to a peer that stops reading would wait for ever, and Windows has no
  // per-call flag to say otherwise. The connect is therefore always waited for.
  int Connect(uint32_t address, int port) override {
    return WaitConnected(address, port, kSystemsOwnWaitMs, {});
  }

  int ConnectWithin(uint32_t address, int port, int waitMs,
                    const std::function<bool()>& abandon) override {
    return WaitConnected(address, port, waitMs, abandon);
  }

  int WaitReadable(int timeoutMs, bool& readable) override {
    fd_set set;
    set.fd_count = 1;
    set.fd_array[0] = S_;
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = Api_->select(0, &set, nullptr, nullptr, &wait);
    if (n == SOCKET_ERROR) return Error();
    readable = n > 0;
    return 0;
  }

  int WaitWritable(int timeoutMs, bool& writable) override {
    fd_set set, failed;
    set.fd_count = failed.fd_count = 1;
    set.fd_array[0] = failed.fd_array[0] = S_;
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = Api_->select(0, nullptr, &set, &failed, &wait);
    if (n == SOCKET_ERROR) return Error();
    writable = n > 0;
    return 0;
  }

  int Receive(char* buffer, size_t size, size_t& received) override {
    int n = Api_->recv(S_, buffer, static_cast<int>(size > INT_MAX ? INT_MAX : size), 0);
    if (n == SOCKET_ERROR) return Error();
    received = static_cast<size_t>(n);
    return 0;
  }

  int Send(const char* buffer, size_t size, size_t& sent) override {
    int n = Api_->send(S_, buffer, static_cast<int>(size > INT_MAX ? INT_MAX : size), 0);
    if (n == SOCKET_ERROR) return Error();
    sent = static_cast<size_t>(n);
    return 0;
  }

  void Shutdown() override { Api_->shutdown(S_, SD_SEND); }

 private:
  int Error() const { return Api_->WSAGetLastError(); }

  // Longer than any connect the system itself lets run.
  static constexpr int kSystemsOwnWaitMs = 24 * 60 * 60 * 1000;

  // The connect of a non-blocking socket, waited for in short slices. Windows
  // reports a connect that failed in the exception set, not the write set.
  int WaitConnected(uint32_t address, int port, int waitMs, const std::function<bool()>& abandon) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = SwapBytes32(address);
    remote.sin_port = NetworkOrder16(port);
    if (Api_->connect(S_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return 0;
    int code = Error();
    if (code != WSAEWOULDBLOCK) return code;
    constexpr DWORD kSliceMs = 100;
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(waitMs);
    for (;;) {
      if (abandon && abandon()) return kWsaeInterrupted;
      const ULONGLONG now = GetTickCount64();
      if (now >= until) return kWsaeTimedOut;
      const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(until - now, kSliceMs));
      fd_set writable, failed;
      writable.fd_count = failed.fd_count = 1;
      writable.fd_array[0] = failed.fd_array[0] = S_;
      timeval wait{static_cast<long>(slice / 1000), static_cast<long>((slice % 1000) * 1000)};
      if (Api_->select(0, nullptr, &writable, &failed, &wait) == SOCKET_ERROR) return Error();
      if (failed.fd_count > 0) {
        int error = 0;
        int length = sizeof error;
        Api_->getsockopt(S_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        return error != 0 ? error : kWsaeConnRefused;
      }
      if (writable.fd_count > 0) return 0;
    }
  }

  std::shared_ptr<TWinsock> Api_;
  SOCKET S_;
};

class TWinsockStack : public TSocketStack {
 public:
  explicit TWinsockStack(std::shared_ptr<TWinsock> api) : Api_(std::move(api)) {}

  int CreateSocket(std::unique_ptr<TSocket>& socket) override {
    SOCKET s = Api_->socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return Api_->WSAGetLastError();
    u_long nonBlocking = 1;
    if (Api_->ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
      int code = Api_->WSAGetLastError();
      Api_->closesocket(s);
      return code;
    }
    socket.reset(new TWinsockSocket(Api_, s));
    return 0;
  }

  // gethostbyname keeps its result per thread, so lookups on several threads
  // do not disturb each other.
  int LookupHost(const std::string& name, uint32_t& address) override {
    hostent* host = Api_->gethostbyname(name.c_str());
    if (!host) return Api_->WSAGetLastError();
    if (host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0])
      return kWsaHostNotFound;
    uint32_t networkOrder;
    memcpy(&networkOrder, host->h_addr_list[0], 4);
    address = SwapBytes32(networkOrder);
    return 0;
  }

 private:
  std::shared_ptr<TWinsock> Api_;
};

TSocketStackStart LoadFailure(const char* library) {
  TSocketStackStart start;
  start.LibraryMissing = true;
  start.Library = library;
  start.Reason = SystemErrorText(GetLastError());
  return start;
}

}  // namespace

TSocketStackStart StartWinsock(const char* library) {
  HMODULE module = LoadLibraryA(library);
  if (!module) return LoadFailure(library);
  auto api = std::make_shared<TWinsock>(module);
  if (!Resolve(module, "WSAStartup", api->WSAStartup) ||
      !Resolve(module, "WSACleanup", api->WSACleanup) || !Resolve(module, "socket", api->socket) ||
      !Resolve(module, "bind", api->bind) ||
      !Resolve(module, "gethostbyname", api->gethostbyname) ||
      !Resolve(module, "connect", api->connect) || !Resolve(module, "select", api->select) ||
      !Resolve(module, "recv", api->recv) || !Resolve(module, "send", api->send) ||
      !Resolve(module, "shutdown", api->shutdown) ||
      !Resolve(module, "closesocket", api->closesocket) ||
      !Resolve(module, "ioctlsocket", api->ioctlsocket) ||
      !Resolve(module, "getsockopt", api->getsockopt) ||
      !Resolve(module, "WSAGetLastError", api->WSAGetLastError))
    return LoadFailure(library);
  WSADATA data;
  TSocketStackStart start;
  start.Library = library;
  if (api->WSAStartup(MAKEWORD(2, 2), &data) != 0) return start;
  api->Started = true;
  start.Stack = std::make_shared<TWinsockStack>(api);
  return start;
}

TSocketStackStart StartSocketStack() {
  return StartWinsock(kWinsockLibrary);
}

// dnssink: a DNS server that never answers. It takes the queries sent to it
// and drops them, so that a name lookup that reaches it waits for as long as
// the resolver keeps trying, as with a DNS server that is down behind a router
// that drops rather than refuses.
//
//   dnssink [ADDRESS] [PORT]      (default 127.0.0.1 53)
//
// Prints "LISTENING" once bound, then one line per query it swallowed.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/common/ToolNet.h"

int main(int argc, char** argv) {
  const std::string address = argc > 1 ? argv[1] : "127.0.0.1";
  const int port = argc > 2 ? std::atoi(argv[2]) : 53;
  ToolNet::TNetStartup net;
  ToolNet::TSocket s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<uint16_t>(port));
  if (s == ToolNet::kNoSocket || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1 ||
      bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    std::fprintf(stderr, "dnssink: cannot bind %s:%d (error %d)\n", address.c_str(), port,
                 ToolNet::LastError());
    return 1;
  }
  std::printf("LISTENING %s:%d\n", address.c_str(), port);
  std::fflush(stdout);
  char packet[4096];
  for (long long n = 1;; ++n) {
    if (recv(s, packet, sizeof packet, 0) < 0) continue;
    std::printf("swallowed query %lld\n", n);
    std::fflush(stdout);
  }
}

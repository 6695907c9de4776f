// directory: the web script that ORVANE controllers ask for their chat server
// and their own public address when their settings say "AUTO".

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/common/ToolNet.h"
#include "tools/directory/Connection.h"
#include "tools/directory/Options.h"

namespace {

// Connections served at once; further ones are closed at once.
constexpr int kMaxConnections = 64;

}  // namespace

int main(int argc, char** argv) {
  TDirectoryOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "directory: %s\n%s", e.what(), UsageText());
    return 2;
  }
  if (options.Help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }

  ToolNet::TNetStartup net;
  if (!net.Ok()) {
    std::fprintf(stderr, "directory: the socket layer did not start\n");
    return 1;
  }
  ToolNet::TSocket listener = ToolNet::Listen(options.Bind, options.Port);
  if (listener == ToolNet::kNoSocket) {
    std::fprintf(stderr, "directory: cannot listen on %s:%d (error %d)\n", options.Bind.c_str(),
                 options.Port, ToolNet::LastError());
    return 1;
  }
  std::printf("%d\n", ToolNet::LocalPort(listener));
  std::fflush(stdout);

  auto open = std::make_shared<std::atomic<int>>(0);
  for (;;) {
    std::string peer;
    ToolNet::TSocket s = ToolNet::Accept(listener, &peer);
    if (s == ToolNet::kNoSocket) {
      // Out of descriptors, say: give the open connections time to end.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (*open >= kMaxConnections) {
      ToolNet::CloseSocket(s);
      continue;
    }
    ++*open;
    // Each connection is served on its own thread, so a silent or slow caller
    // does not hold the others; the process ends with them.
    std::thread([s, peer, options, open] {
      ServeConnection(s, peer, options);
      --*open;
    }).detach();
  }
}

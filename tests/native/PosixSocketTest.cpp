#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Socket.h"
#include "support/LoopbackServer.h"
#include "support/PlatformSocket.h"

// The POSIX adapter below the line client: writing into a connection the peer
// has left must come back as an error code, never as SIGPIPE ending the process.
TEST(PosixSocket, WritingAfterThePeerLeftIsAnErrorNotASignal) {
  TLoopbackServer server;
  std::unique_ptr<TSocket> socket = ConnectedPlatformSocket(server.Port());
  ASSERT_TRUE(socket);
  server.Accept().Close();

  std::vector<int> codes;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (codes.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    size_t sent = 0;
    int code = socket->Send("data\r\n", 6, sent);
    if (code != 0) codes.push_back(code);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The first failure is the peer's reset; later ones (EPIPE on Linux) read
  // the same, as Windows reports them.
  ASSERT_EQ(codes.size(), 3u);
  for (int code : codes) EXPECT_EQ(code, kWsaeConnReset);
}

TEST(PosixSocket, AnyAddressAndPortZeroAreRefusedAsOnWindows) {
  TSocketStackStart start = StartSocketStack();
  for (auto target : {std::make_pair(0u, 80), std::make_pair(0x7F000001u, 0)}) {
    std::unique_ptr<TSocket> socket;
    ASSERT_EQ(start.Stack->CreateSocket(socket), 0);
    EXPECT_EQ(socket->Connect(target.first, target.second), kWsaeAddrNotAvail);
  }
}

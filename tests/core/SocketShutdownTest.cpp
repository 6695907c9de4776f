// The socket adapters' shutdown, on a real loopback connection: the line
// client's close ends what it sends, not what it receives.
#include <gtest/gtest.h>

#include <memory>

#include "platform/Socket.h"
#include "support/ChatLoopback.h"
#include "support/PlatformSocket.h"

TEST(SocketShutdown, EndsTheSendingSideAndStillTakesWhatThePeerSends) {
  TChatListener server;
  std::unique_ptr<TSocket> socket = ConnectedPlatformSocket(server.Port());
  ASSERT_TRUE(socket);
  auto peer = server.Accept(10000);
  ASSERT_TRUE(peer);

  socket->Shutdown();
  EXPECT_TRUE(peer->WaitForClose(10000));
  // The chat server's last lines, sent as the controller leaves, are taken in:
  // a receiving side shut as well would answer them with a reset.
  ASSERT_TRUE(peer->Send("<message value=\"last\"/>\r\n"));
  bool readable = false;
  ASSERT_EQ(socket->WaitReadable(10000, readable), 0);
  ASSERT_TRUE(readable);
  char buffer[64] = {};
  size_t received = 0;
  ASSERT_EQ(socket->Receive(buffer, sizeof buffer, received), 0);
  EXPECT_EQ(std::string(buffer, received), "<message value=\"last\"/>\r\n");
}

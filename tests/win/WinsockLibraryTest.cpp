#include <gtest/gtest.h>

#include "chat/IdErrors.h"
#include "platform/win32/WinsockLibrary.h"
#include "support/LoopbackServer.h"

TEST(WinsockLibrary, MissingLibraryGivesTheSystemsReasonAndTheLibraryName) {
  TSocketStackStart start = StartWinsock("ORVANE_NO_SUCH_WS2.DLL");
  EXPECT_FALSE(start.Stack);
  ASSERT_TRUE(start.LibraryMissing);
  EXPECT_EQ(start.Library, "ORVANE_NO_SUCH_WS2.DLL");
  EXPECT_FALSE(start.Reason.empty());
  EXPECT_EQ(std::string(EIdWS2StubError(start.Reason, start.Library).what()),
            start.Reason + ": Error on loading Winsock2 library (ORVANE_NO_SUCH_WS2.DLL)");
}

TEST(WinsockLibrary, LibraryIsLoadedByItsName) {
  TSocketStackStart start = StartWinsock(kWinsockLibrary);
  ASSERT_TRUE(start.Stack);
  EXPECT_STREQ(kWinsockLibrary, "WS2_32.DLL");
}

// The socket keeps the layer up after the stack that made it has gone.
TEST(WinsockLibrary, SocketOutlivesItsStack) {
  TLoopbackServer server;
  std::unique_ptr<TSocket> socket;
  {
    TSocketStackStart start = StartSocketStack();
    ASSERT_TRUE(start.Stack);
    ASSERT_EQ(start.Stack->CreateSocket(socket), 0);
  }
  ASSERT_EQ(socket->BindAny(), 0);
  ASSERT_EQ(socket->Connect(0x7F000001, server.Port()), 0);
  TLoopbackPeer peer = server.Accept();
  size_t sent = 0;
  ASSERT_EQ(socket->Send("hi\n", 3, sent), 0);
  EXPECT_EQ(sent, 3u);
  EXPECT_EQ(peer.ReceiveLine(), "hi\n");
}

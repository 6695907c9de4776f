#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "chat/TcpConnection.h"
#include "support/TcpExpect.h"
#include "support/TcpMemorySocket.h"

// Failures a real loopback peer cannot be made to produce on demand, played by
// the scripted socket layer.

namespace {

class ScriptedPeer : public ::testing::Test {
 protected:
  ScriptedPeer() {
    Client.UseSocketStack(Stack);
    Client.Host = "127.0.0.1";
    Client.Port = 7777;
  }
  void Connect() {
    Peer = Stack->AddPeer();
    Client.OpenConnection();
  }

  std::shared_ptr<TMemorySocketStack> Stack = std::make_shared<TMemorySocketStack>();
  std::shared_ptr<TMemoryPeer> Peer;
  TIdTCPClient Client;
};

}  // namespace

TEST_F(ScriptedPeer, ConnectsToTheResolvedAddressAndPort) {
  Stack->AddHost("chat.example", 0x0A000005);
  Client.Host = "chat.example";
  Client.Port = 6667;
  Connect();
  ASSERT_EQ(Stack->Connects().size(), 1u);
  EXPECT_EQ(Stack->Connects()[0], std::make_pair(0x0A000005u, 6667));
}

TEST_F(ScriptedPeer, RefusedSocketIsCannotAllocate) {
  Stack->CreateError = 10024;
  EXPECT_TRUE(
      Raises<EIdInvalidSocket>([&] { Client.OpenConnection(); }, "Cannot allocate socket."));
  EXPECT_FALSE(Client.IsConnected());
}

TEST_F(ScriptedPeer, BindOnAnAddressInUseIsCouldNotBind) {
  Stack->BindError = 10048;
  EXPECT_TRUE(
      Raises<EIdCouldNotBindSocket>([&] { Client.OpenConnection(); },
                                    "Could not bind socket. Address and port are already in use."));
  EXPECT_FALSE(Client.IsConnected());
}

TEST_F(ScriptedPeer, OtherBindFailuresAreSocketErrors) {
  Stack->BindError = 10013;
  EXPECT_TRUE(Raises<EIdSocketError>([&] { Client.OpenConnection(); },
                                     "Socket Error # 10013\r\nAccess denied."));
}

TEST_F(ScriptedPeer, ConnectFailuresCarryThePlatformsCode) {
  for (int code : {10060, 10065, 10051}) {
    Stack->ConnectError = code;
    try {
      Client.OpenConnection();
      ADD_FAILURE() << "connected";
    } catch (const EIdSocketError& e) {
      EXPECT_EQ(e.LastError(), code);
    }
    EXPECT_FALSE(Client.IsConnected());
  }
}

// A port outside 0..65535 would wrap around to some other port.
TEST_F(ScriptedPeer, PortOutsideSixteenBitsIsRefusedWithoutConnecting) {
  Client.Port = 65536 + 80;
  Peer = Stack->AddPeer();
  EXPECT_TRUE(Raises<EIdSocketError>([&] { Client.OpenConnection(); },
                                     "Socket Error # 10049\r\nCannot assign requested address."));
  EXPECT_TRUE(Stack->Connects().empty());
}

TEST_F(ScriptedPeer, FailedConnectLeavesTheSocketClosedNotReleased) {
  Stack->ConnectError = 10061;
  EXPECT_THROW(Client.OpenConnection(), EIdSocketError);
  EXPECT_FALSE(Client.IsConnected());
  EXPECT_TRUE(Raises<EIdConnClosedGracefully>([&] { Client.SendLine("x"); },
                                              "Connection Closed Gracefully."));
  Client.CloseConnection();
  EXPECT_TRUE(Raises<EIdNotConnected>([&] { Client.SendLine("x"); }, "Not Connected"));
}

TEST_F(ScriptedPeer, ReceiveAbortClosesTheSocket) {
  Connect();
  Peer->FailReceives(10053);
  EXPECT_TRUE(Raises<EIdSocketError>([&] { Client.ReceiveChar(); },
                                     "Socket Error # 10053\r\nSoftware caused connection abort."));
  EXPECT_FALSE(Client.IsConnected());
  EXPECT_TRUE(Peer->ShutDownByClient());
}

TEST_F(ScriptedPeer, ReceiveShutdownWithBytesBufferedCountsAsTheClose) {
  Connect();
  Peer->Feed("ab");
  Peer->FailReceives(10058);
  EXPECT_EQ(Client.ReceiveLine(), "");
  EXPECT_FALSE(Client.IsConnected());
  EXPECT_THROW(Client.ReceiveLine(), EIdConnClosedGracefully);
}

TEST_F(ScriptedPeer, ReceiveResetLeavesTheSocketOpen) {
  Connect();
  Peer->FailReceives(10054);
  EXPECT_THROW(Client.ReceiveChar(), EIdSocketError);
  EXPECT_TRUE(Client.IsConnected());
}

TEST_F(ScriptedPeer, SendFailuresThatEndTheConnectionCloseTheSocket) {
  for (int code : {10053, 10054, 10058}) {
    Connect();
    Peer->FailSends(code);
    try {
      Client.SendLine("x");
      ADD_FAILURE() << "sent";
    } catch (const EIdSocketError& e) {
      EXPECT_EQ(e.LastError(), code);
    }
    EXPECT_FALSE(Client.IsConnected()) << code;
    Client.CloseConnection();
  }
}

TEST_F(ScriptedPeer, OtherSendFailuresLeaveTheSocketOpen) {
  Connect();
  Peer->FailSends(10055);
  EXPECT_THROW(Client.SendLine("x"), EIdSocketError);
  EXPECT_TRUE(Client.IsConnected());
}

TEST_F(ScriptedPeer, PartialSendsAreContinuedUntilTheWholeLineIsOut) {
  Connect();
  Peer->LimitSends(3);
  Client.SendLine("a longer status line");
  EXPECT_EQ(Peer->Sent(), "a longer status line\r\n");
}

TEST_F(ScriptedPeer, OneReceiveTakesAtMostRecvBufferSize) {
  Connect();
  Client.RecvBufferSize = 2;
  Peer->Feed("abcdef");
  EXPECT_EQ(Client.ReceiveChar(), 'a');
  EXPECT_EQ(Peer->Pending(), 4u);
  EXPECT_EQ(Client.ReceiveChar(), 'b');  // from the buffer, no receive
  EXPECT_EQ(Peer->Pending(), 4u);
  EXPECT_EQ(Client.ReceiveChar(), 'c');
  EXPECT_EQ(Peer->Pending(), 2u);
}

// Several threads write at once while the socket takes a few bytes per send:
// every line still reaches the peer in one piece.
TEST_F(ScriptedPeer, ConcurrentSendLinesNeverInterleave) {
  Connect();
  Peer->LimitSends(5);
  constexpr int kWriters = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([this, w] {
      for (int i = 0; i < kLines; ++i)
        Client.SendLine("writer " + std::to_string(w) + " line " + std::to_string(i) + " " +
                        std::string(static_cast<size_t>(10 + i % 30), static_cast<char>('a' + w)));
    });
  }
  for (std::thread& t : writers) t.join();
  std::string sent = Peer->Sent();
  std::set<std::string> seen;
  size_t at = 0;
  while (at < sent.size()) {
    size_t end = sent.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    seen.insert(sent.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kLines));
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kLines; ++i)
      EXPECT_EQ(
          seen.count("writer " + std::to_string(w) + " line " + std::to_string(i) + " " +
                     std::string(static_cast<size_t>(10 + i % 30), static_cast<char>('a' + w))),
          1u);
}

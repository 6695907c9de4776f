#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "chat/TcpConnection.h"
#include "support/LoopbackServer.h"
#include "support/TcpExpect.h"

// The reads and the write that the HTTP client uses for bodies and requests.

namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  return bytes;
}

class BodyReads : public ::testing::Test {
 protected:
  void SetUp() override {
    Client.Host = "127.0.0.1";
    Client.Port = Server.Port();
    Client.ReadTimeout = 5000;
    Client.RecvBufferSize = 1024;
    Client.OpenConnection();
    Peer = Server.Accept();
  }

  TLoopbackServer Server;
  TIdTCPClient Client;
  TLoopbackPeer Peer;
};

}  // namespace

TEST_F(BodyReads, ReceiveBytesTakesBufferedBytesThenWholeBlocks) {
  std::string body = Pattern(5000);
  Peer.Send("HTTP/1.1 200 OK\r\n" + body.substr(0, 700));
  EXPECT_EQ(Client.ReceiveLine(), "HTTP/1.1 200 OK");
  std::thread feeder([&] {
    for (size_t at = 700; at < body.size(); at += 333) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      Peer.Send(body.substr(at, 333));
    }
  });
  EXPECT_EQ(Client.ReceiveBytes(body.size()), body);
  feeder.join();
  Peer.Send("after\n");
  EXPECT_EQ(Client.ReceiveLine(), "after");
}

TEST_F(BodyReads, ReceiveBytesOfZeroTakesNothing) {
  Peer.Send("x\n");
  EXPECT_EQ(Client.ReceiveBytes(0), "");
  EXPECT_EQ(Client.ReceiveLine(), "x");
}

TEST_F(BodyReads, CloseInsideABlockFailsAndKeepsThatBlockBuffered) {
  std::string sent = Pattern(1500);
  Peer.Send(sent);
  Peer.Close();
  std::string got;
  EXPECT_TRUE(Raises<EIdConnClosedGracefully>([&] { Client.ReceiveBytes(2048, got); },
                                              "Connection Closed Gracefully."));
  EXPECT_EQ(got, sent.substr(0, 1024));
  // The incomplete block was not handed out; it is still there to read.
  EXPECT_EQ(Client.ReceiveChar(), sent[1024]);
}

TEST_F(BodyReads, ReceiveBytesAfterTheCloseHandsOutWhatIsBufferedWithoutError) {
  Peer.Send("abc");
  Peer.Close();
  EXPECT_EQ(Client.ReceiveLine(), "");  // meets the close; "abc" stays buffered
  EXPECT_FALSE(Client.IsConnected());
  EXPECT_EQ(Client.ReceiveBytes(10), "abc");
}

TEST_F(BodyReads, ReceiveUntilCloseHandsOutEverythingUpToTheClose) {
  std::string body = Pattern(200000);
  Peer.Send("HTTP/1.0 200 OK\r\n\r\n");
  EXPECT_EQ(Client.ReceiveLine(), "HTTP/1.0 200 OK");
  std::thread feeder([&] {
    Peer.Send(body);
    Peer.Close();
  });
  EXPECT_EQ(Client.ReceiveUntilClose(), "\r\n" + body);
  feeder.join();
  EXPECT_FALSE(Client.IsConnected());
}

TEST_F(BodyReads, ReceiveUntilCloseTimesOutOnASilentPeer) {
  Client.ReadTimeout = 300;
  Peer.Send("partial");
  std::string got;
  EXPECT_TRUE(Raises<EIdReadTimeout>([&] { Client.ReceiveUntilClose(got); }, "Read Timeout"));
  EXPECT_EQ(got, "partial");
}

TEST_F(BodyReads, PollForCloseNoticesThePeersClose) {
  Peer.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(Client.IsConnected());  // not met yet
  Client.PollForClose();
  EXPECT_FALSE(Client.IsConnected());
}

TEST_F(BodyReads, PollForCloseKeepsBytesThatArrived) {
  Peer.Send("late\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Client.PollForClose();
  EXPECT_TRUE(Client.IsConnected());
  Peer.Close();
  EXPECT_EQ(Client.ReceiveLine(), "late");
}

TEST_F(BodyReads, PollForCloseOnAnOpenSilentConnectionChangesNothing) {
  auto start = std::chrono::steady_clock::now();
  Client.PollForClose();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(Client.IsConnected());
  Client.SendLine("ping");
  EXPECT_EQ(Peer.ReceiveLine(), "ping\r\n");
}

TEST(BodyReadsUnconnected, PollForCloseRaisesNothing) {
  TIdTCPClient client;
  client.PollForClose();
  EXPECT_FALSE(client.IsConnected());
}

// Every wait of the line client has a bound: a connect to a host that drops
// the request, a name that no DNS server answers, a peer that stays connected
// but stops reading, and a writer stuck behind such a peer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "chat/TcpConnection.h"
#include "support/Bounded.h"
#include "support/LoopbackServer.h"
#include "support/TcpExpect.h"
#include "support/TcpMemorySocket.h"

namespace {

const std::string kTimedOut = "Socket Error # 10060\r\nConnection timed out.";
const std::string kInterrupted = "Socket Error # 10004\r\nInterrupted system call.";

// More than the buffers of a loopback connection hold, so that a peer that
// does not read leaves the rest unsent.
std::string BigLine() {
  return std::string(32 * 1024 * 1024, 'x');
}

// What a connect waits on: a host that drops connection requests, or a name
// that no DNS server answers.
enum class TStuckOn { Connect, NameLookup };

struct TConnectCase {
  TStuckOn Stuck;
  bool Abandoned;  // given up by its owner rather than by its bound
  const char* Name;
};

class ConnectBound : public ::testing::TestWithParam<TConnectCase> {};

TEST_P(ConnectBound, EndsWithinItsBoundOrWhenAbandoned) {
  const TConnectCase& c = GetParam();
  auto stack = std::make_shared<TMemorySocketStack>();
  stack->AddPeer();
  TIdTCPClient client;
  client.UseSocketStack(stack);
  client.Port = 7777;
  if (c.Stuck == TStuckOn::Connect) {
    client.Host = "127.0.0.1";
    stack->HangConnects = true;
  } else {
    client.Host = "chat.example";
    stack->StallLookups();
  }
  std::atomic<bool> abandon{false};
  client.ConnectTimeout = c.Abandoned ? 60000 : 300;
  client.Abandon = [&] { return abandon.load(); };
  std::thread owner([&] {
    if (!c.Abandoned) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    abandon = true;
  });
  std::string outcome = "connected";
  EXPECT_TRUE(ReturnsWithin(
      5000,
      [&] {
        try {
          client.OpenConnection();
        } catch (const EIdException& e) {
          outcome = e.what();
        }
      },
      [&] {
        stack->HangConnects = false;
        stack->ReleaseLookups();
      }));
  owner.join();
  EXPECT_EQ(outcome, c.Abandoned ? kInterrupted : kTimedOut);
  EXPECT_FALSE(client.IsConnected());
  stack->ReleaseLookups();
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ConnectBound,
    ::testing::Values(TConnectCase{TStuckOn::Connect, false, "HostDropsTheRequest"},
                      TConnectCase{TStuckOn::Connect, true, "HostDropsTheRequestAbandoned"},
                      TConnectCase{TStuckOn::NameLookup, false, "DnsNeverAnswers"},
                      TConnectCase{TStuckOn::NameLookup, true, "DnsNeverAnswersAbandoned"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ConnectLookup, NameStillBeingLookedUp_IsWaitedForNotAskedAgain) {
  auto stack = std::make_shared<TMemorySocketStack>();
  stack->StallLookups();
  TIdTCPClient client;
  client.UseSocketStack(stack);
  client.Host = "chat.example";
  client.Port = 7777;
  client.ConnectTimeout = 100;
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(Raises<EIdSocketError>([&] { client.OpenConnection(); }, kTimedOut));
  EXPECT_EQ(stack->Lookups().size(), 1u);
  stack->ReleaseLookups();
  // Answered (not found), the next connect asks afresh.
  for (int i = 0; i < 100 && stack->LookupsInProgress() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  stack->AddHost("chat.example", 0x7F000001);
  stack->AddPeer();
  client.ConnectTimeout = 5000;
  client.OpenConnection();
  EXPECT_EQ(stack->Lookups().size(), 2u);
}

TEST(SendBound, PeerThatStoppedReading_FailsTheSendAndLosesTheLink) {
  TLoopbackServer server;
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.SendTimeout = 300;
  client.OpenConnection();
  TLoopbackPeer peer = server.Accept();
  std::string outcome = "sent";
  EXPECT_TRUE(ReturnsWithin(
      10000,
      [&] {
        try {
          client.SendLine(BigLine());
        } catch (const EIdException& e) {
          outcome = e.what();
        }
      },
      [&] { peer.Close(); }));
  EXPECT_EQ(outcome, kTimedOut);
  // Half a line went out: nothing can follow it on this connection.
  EXPECT_FALSE(client.IsConnected());
}

TEST(SendBound, BoundedSendBehindAStuckWriter_GivesUpAndFreesTheWriter) {
  TLoopbackServer server;
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  TLoopbackPeer peer = server.Accept();
  // The watcher's announcement, stuck: no time limit of its own.
  std::string stuck = "sent";
  std::thread writer([&] {
    try {
      client.SendLine(BigLine());
    } catch (const EIdException& e) {
      stuck = e.what();
    }
  });
  // Its first byte has arrived: it holds the connection, and the buffers fill.
  ASSERT_EQ(peer.Receive(1), "x");
  // The window's pong waits for the writer no longer than its bound.
  std::string pong = "sent";
  EXPECT_TRUE(ReturnsWithin(
      5000,
      [&] {
        try {
          client.SendLine("<message value=\"/pong\t1\tx\"/>", 500);
        } catch (const EIdException& e) {
          pong = e.what();
        }
      },
      [&] { client.CloseConnection(); }));
  writer.join();
  EXPECT_EQ(pong, kTimedOut);
  EXPECT_EQ(stuck, "Disconnected.");
  EXPECT_FALSE(client.IsConnected());
}

}  // namespace

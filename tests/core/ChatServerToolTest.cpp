// The chat server tool that the chat tests and the demo run against: it must
// relay, ping and obey its control channel, or the chat tests prove nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/ChatLoopback.h"
#include "support/ChatServerProcess.h"

namespace {

constexpr int kWait = 20000;

// Waits for the server to say that it listens again (its start said it once).
bool WaitUntilListening(TChatServerProcess& server) {
  for (int waited = 0; waited < kWait; waited += 50) {
    if (server.CountOutput("listening on") >= 2) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string Env(const std::string& payload) {
  return "<message value=\"" + payload + "\"/>\r\n";
}

}  // namespace

TEST(ChatServerTool, RelaysRoomLinesToTheOtherMembersAndPrintsEachLineWithItsSender) {
  TChatServerProcess server({"--ping-interval", "0"});
  auto a = TChatPeer::Connect(server.Port());
  auto b = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->Send(Env("/signon\t_A") + Env("/join\tServerList")));
  ASSERT_TRUE(server.WaitForReceivedCount(2, kWait));
  ASSERT_TRUE(b->Send(Env("/signon\t_B") + Env("/join\tServerList")));
  ASSERT_TRUE(server.WaitForReceivedCount(4, kWait));
  ASSERT_TRUE(a->Send(Env("/sayroom\tServerList\tSTATUS: 1.2.3.4 OPEN x")));

  std::string atB = b->ReadLines(3, kWait);
  EXPECT_EQ(atB, Env("/welcome\t_B") + Env("/joined\tServerList") +
                     Env("/said\tServerList\t_A\tSTATUS: 1.2.3.4 OPEN x"));
  ASSERT_TRUE(server.WaitForReceivedCount(5, kWait));
  auto got = server.Received();
  EXPECT_EQ(got[0].Who, "#1 _A");
  EXPECT_EQ(got[0].Line, "<message value=\"/signon\t_A\"/>");
  EXPECT_EQ(got[4].Who, "#1 _A");
  EXPECT_EQ(got[4].Line, "<message value=\"/sayroom\tServerList\tSTATUS: 1.2.3.4 OPEN x\"/>");
  // The sender hears no echo of its own room line.
  std::string atA = a->ReadLines(4, 300);
  EXPECT_EQ(atA.find("/said"), std::string::npos);
}

TEST(ChatServerTool, PingsEveryClientWithTwoFieldsAndClosesOnQuit) {
  TChatServerProcess server({"--ping-interval", "50"});
  auto a = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(a);
  std::string got = a->ReadLines(2, kWait);
  ASSERT_GE(CountLines(got), 2u);
  const std::string head = "<message value=\"/ping\t1\t";
  EXPECT_EQ(got.compare(0, head.size(), head), 0) << got;
  std::string first = got.substr(0, got.find("\r\n"));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\t'), 2) << first;
  EXPECT_EQ(first.substr(first.size() - 3), "\"/>");

  ASSERT_TRUE(a->Send(Env("/pong\t1\tX") + Env("/quit")));
  EXPECT_TRUE(a->WaitForClose(kWait));
  ASSERT_TRUE(server.WaitForReceivedCount(2, kWait));
  auto lines = server.ReceivedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "<message value=\"/pong\t1\tX\"/>");
}

TEST(ChatServerTool, ControlChannelClosesRefusesHangsUpAndSendsRawBytes) {
  TChatServerProcess server({"--ping-interval", "0"});
  auto a = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(a);
  ASSERT_TRUE(server.WaitForOutput("#1 connected", kWait));
  ASSERT_TRUE(server.Command("send #1 a\\tb>\\r\\n\\x01"));
  a->ReadLines(1, kWait);
  a->Drain(200);
  EXPECT_EQ(a->Received(), std::string("a\tb>\r\n\x01"));
  ASSERT_TRUE(server.Command("close all"));
  EXPECT_TRUE(a->WaitForClose(kWait));

  ASSERT_TRUE(server.Command("refuse"));
  EXPECT_EQ(TChatPeer::Connect(server.Port()), nullptr);
  ASSERT_TRUE(server.Command("listen"));
  ASSERT_TRUE(server.Command("hangup on"));
  auto b = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(b);
  EXPECT_TRUE(b->WaitForClose(kWait));
  ASSERT_TRUE(server.Command("hangup off"));
  ASSERT_TRUE(server.Command("silent on"));
  auto c = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(c);
  ASSERT_TRUE(c->Send(Env("/signon\t_C")));
  ASSERT_TRUE(server.WaitForReceivedCount(1, kWait));
  c->Drain(300);
  EXPECT_EQ(c->Received(), "");  // no welcome while silent
}

TEST(ChatServerTool, ResetsAClientAndListensAgainWhenATimedRefusalEnds) {
  TChatServerProcess server({"--ping-interval", "0"});
  auto a = TChatPeer::Connect(server.Port());
  ASSERT_TRUE(a);
  ASSERT_TRUE(server.WaitForOutput("#1 connected", kWait));
  ASSERT_TRUE(server.Command("reset all"));
  EXPECT_TRUE(a->WaitForClose(kWait));
#ifndef _WIN32
  // Wine reports a reset as the end of the stream, so only here can it be told apart.
  EXPECT_TRUE(a->EndedByError());
#endif

  ASSERT_TRUE(server.Command("refuse 2"));
  EXPECT_EQ(TChatPeer::Connect(server.Port()), nullptr);
  ASSERT_TRUE(WaitUntilListening(server));
  EXPECT_NE(TChatPeer::Connect(server.Port()), nullptr);
}

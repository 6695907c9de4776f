// The chat link against tools/chatserver, a separate process that can be killed
// and started again as a real chat server restarts.
#include <gtest/gtest.h>

#include "support/ChatFixtures.h"
#include "support/ChatServerProcess.h"

namespace {

constexpr int kWait = 30000;

std::string Env(const std::string& payload) {
  return "<message value=\"" + payload + "\"/>";
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

}  // namespace

TEST(ChatReconnect, AfterTheChatServerRestartsANewSignOnAndExactlyOneReceiveLoop) {
  TChatRig rig;
  rig.Session.ServerName = "_Bay";
  auto server =
      std::make_unique<TChatServerProcess>(std::vector<std::string>{"--ping-interval", "0"});
  const int port = server->Port();
  rig.Connect(port);
  ASSERT_TRUE(server->WaitForReceivedCount(4, kWait));
  TThread* first;
  {
    std::lock_guard<std::mutex> lock(rig.Session.StateLock);
    first = rig.Session.ReceiveThread.get();
  }
  ASSERT_NE(first, nullptr);

  server->Kill();
  server.reset();
  // The loop of the dead connection ends by itself; the connection counts as
  // closed, so the watcher's next pass connects again.
  EXPECT_TRUE(Eventually([&] { return first->Finished(); }, kWait));
  EXPECT_FALSE(rig.Link.IsConnected());

  server =
      std::make_unique<TChatServerProcess>(std::vector<std::string>{"--ping-interval", "0"}, port);
  rig.Connect(port);
  ASSERT_TRUE(server->WaitForReceivedCount(4, kWait));
  // Two pings, two pongs in order: one loop reads the new connection, whole.
  ASSERT_TRUE(server->Command("ping all"));
  ASSERT_TRUE(server->Command("ping all"));
  ASSERT_TRUE(server->WaitForReceivedCount(6, kWait));
  rig.OnUi([&] { rig.Link.CloseChat(); });
  ASSERT_TRUE(server->WaitForReceivedCount(7, kWait));
  rig.Link.CloseConnection();

  auto lines = server->ReceivedLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], Env("/signon\t_Bay"));
  EXPECT_EQ(lines[1], Env("/join\tServerList"));
  EXPECT_TRUE(StartsWith(lines[2], "<message value=\"/sayroom\tServerList\tTRACKS:"));
  EXPECT_TRUE(StartsWith(lines[3], "<message value=\"/sayroom\tServerList\tCARS:"));
  EXPECT_TRUE(StartsWith(lines[4], "<message value=\"/pong\t1\t")) << lines[4];
  EXPECT_TRUE(StartsWith(lines[5], "<message value=\"/pong\t2\t")) << lines[5];
  EXPECT_EQ(lines[6], Env("/quit"));
  for (const auto& r : server->Received()) EXPECT_EQ(r.Who, "#1 _Bay");
}

// The chat link against tools/chatserver, a separate process that can be killed
// and started again as a real chat server restarts.
#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/LogWatcher.h"
#include "support/ChatFixtures.h"
#include "support/ChatServerProcess.h"
#include "support/WatcherFakes.h"

namespace {

constexpr int kWait = 30000;

std::string Env(const std::string& payload) {
  return "<message value=\"" + payload + "\"/>";
}

// The chat server's lines without the pongs, which come in at their own pace.
std::vector<std::string> RoomTraffic(const TChatServerProcess& server) {
  std::vector<std::string> lines;
  for (const std::string& line : server.ReceivedLines())
    if (line.find("\"/pong\t") == std::string::npos) lines.push_back(line);
  return lines;
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

TEST(ChatEndToEnd, LogLinesAppendedToTheFileReachTheChatServerAsRoomLines) {
  TChatRig rig;
  TChatServerProcess server({"--ping-interval", "100"});
  const std::string log = rig.Dir.File("strakon.log");
  WriteFileBytes(log,
                 "Strakon dedicated server 1.0\r\n"
                 "Server \"Gull Point Racing\" created, running...\r\n"
                 "chat: Changing track to 2\r\n"
                 "chat: Changing race_type to short\r\n"
                 "Server: User Connected: Bob (0) @ 10.0.0.5:2300\r\n");
  {
    std::lock_guard<std::mutex> lock(rig.Session.StateLock);
    rig.Session.LogPath = log;
    rig.Session.RefreshTime = 50;
    rig.Session.ChatServerAddress = "127.0.0.1";
    rig.Session.ChatPort = server.Port();
    rig.Session.LocalAddress = "127.0.0.1";
    rig.Session.TrackNames = {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
                              "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
    rig.Session.CarNames[0] = "Ferra 500";
  }
  TRaceBoard board;
  TFakeWindow window;
  const std::string tracks =
      "/sayroom\tServerList\tTRACKS: Torvane Gull_Point Ambermoor Dusk_Plateau Fern_Hollow "
      "Tower_Heath Caddock Ostvik";
  std::vector<std::string> expected = {
      Env("/signon\t_Gull_Point_Racing"),
      Env("/join\tServerList"),
      Env(tracks),
      Env("/sayroom\tServerList\tCARS: Ferra_500 * * * * * * * * * * * *"),
      Env("/sayroom\tServerList\tSTATUS: 127.0.0.1 OPEN Gull Point 3 ARCADE"),
      Env("/sayroom\tServerList\tDRIVERS: Bob")};
  {
    TTLog watcher(rig.Session, board, rig.Link, window);
    watcher.Start();
    // The history: one pass reads it all, connects, signs on under the name
    // the log gave, and announces the board it left.
    ASSERT_TRUE(Eventually([&] { return RoomTraffic(server).size() >= 6; }, kWait));
    EXPECT_EQ(RoomTraffic(server), expected);

    // The game server writes on: each new line shows up in the next status.
    AppendFileBytes(log, "Server: SYNC: 2way: 2 players\r\n");
    expected.push_back(Env("/sayroom\tServerList\tSTATUS: 127.0.0.1 IN_RACE Gull Point 3 ARCADE"));
    expected.push_back(Env("/sayroom\tServerList\tDRIVERS: Bob"));
    ASSERT_TRUE(Eventually([&] { return RoomTraffic(server).size() >= 8; }, kWait));
    EXPECT_EQ(RoomTraffic(server), expected);

    AppendFileBytes(log,
                    "Server: User Connected: Big Al (3) @ 10.0.0.7:2300\r\n"
                    "chat: Changing realism to simulation\r\n");
    expected.push_back(
        Env("/sayroom\tServerList\tSTATUS: 127.0.0.1 IN_RACE Gull Point 3 SIMULATION"));
    expected.push_back(Env("/sayroom\tServerList\tDRIVERS: Bob Big_Al"));
    ASSERT_TRUE(Eventually([&] { return RoomTraffic(server).size() >= 10; }, kWait));
    EXPECT_EQ(RoomTraffic(server), expected);
    // The chat server's pings came back through the receive loop meanwhile.
    ASSERT_TRUE(server.WaitForOutput("\"/pong\t1\t", kWait));

    // StopAll: the watcher first, then the chat, then the connection.
    watcher.Terminate();
    watcher.WaitFor();
  }
  rig.OnUi([&] { rig.Link.CloseChat(); });
  rig.Link.CloseConnection();
  expected.push_back(Env("/quit"));
  ASSERT_TRUE(Eventually([&] { return RoomTraffic(server).size() >= 11; }, kWait));
  EXPECT_EQ(RoomTraffic(server), expected);
  auto calls = window.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "chat state 0"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "chat state 1"), 0);

  // Every message of the chat server is in "./response.txt", the pings' rests
  // after them.
  std::string response = rig.ResponseAfterShutdown();
  EXPECT_EQ(response.find("<message value=\"/welcome\t_Gull_Point_Racing\"/>\r\n"), 0u) << response;
  EXPECT_NE(response.find("\r\n<message value=\"/ping\t1\t"), std::string::npos) << response;
}

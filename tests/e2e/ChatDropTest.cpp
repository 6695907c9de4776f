// Scenario 3: the chat server goes away while the program runs, and comes
// back. A connection closed by a server that still listens is made again on
// the next pass (a new sign-on, no message); a server that is gone makes the
// next connect fail: the red lamp as the link ends, "Cannot connect to chat
// server", and the program waits for the user. "Reconnect to Chat" connects
// again once the server is back, with a new sign-on and the status lines sent
// again.
#include "app/ControlIds.h"
#include "app/Resources.h"
#include "e2e/E2eFixture.h"

namespace {

using ChatDropTest = TE2eTest;

const char kSignOn[] = "<message value=\"/signon\t_Gull_Point_Racing\"/>";
const char kJoin[] = "<message value=\"/join\tServerList\"/>";

TEST_F(ChatDropTest, ServerGoneAndBack_MessageRedLampAndReconnectSignsOnAndResends) {
  TChatServerProcess& first = StartChatServer({"--ping-interval", "500"});
  const int port = first.Port();
  WriteSettings(port);
  RunGamelog({"--lines", "200", "--seed", "5"});
  AppendLog({"Server: Singleton player reset."});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(first, "DRIVERS:"));
  ASSERT_TRUE(WaitUntil([&] { return GreenLamp(); }));
  const std::string status = Statuses(first).back();
  // Connected: "Reconnect to Chat" is greyed (where the menu can be read).
  int state = TWindowDriver::MenuState(Main(), IDM_CHAT1);
  if (state != -1) {
    EXPECT_TRUE(state & MF_GRAYED);
  }

  // The chat server dies. The receive loop finds the connection ended and
  // shows it lost at once; the next pass cannot connect and says so.
  first.Kill();
  HWND box = Driver().WaitForMessageBox(kWait);
  ASSERT_NE(box, nullptr) << "no message after the chat server went";
  EXPECT_EQ(TWindowDriver::MessageBoxText(box), "Cannot connect to chat server");
  EXPECT_TRUE(WaitUntil([&] { return RedLamp(); })) << "the lamp did not turn red";
  TWindowDriver::PressOk(box);
  EXPECT_TRUE(RedLamp());
  state = TWindowDriver::MenuState(Main(), IDM_CHAT1);
  if (state != -1) {
    EXPECT_FALSE(state & MF_GRAYED) << "Reconnect to Chat stays greyed";
  }

  // The watcher has ended: the game goes on, but nothing is tried again by
  // itself, even once the server is back.
  AppendLog({"Server: SYNC: 2way: 2 clients ready, race starts"});
  TChatServerProcess& second = StartChatServer({"--ping-interval", "500"}, port);
  Pause(2000);
  EXPECT_TRUE(NoMessageBoxFor(100));
  EXPECT_TRUE(Received(second).empty()) << "connected again without being asked";
  EXPECT_TRUE(RedLamp());

  // "Reconnect to Chat": a new sign-on, and the status lines again, with what
  // the log said meanwhile.
  Menu(IDM_CHAT1);
  ASSERT_TRUE(WaitForReceived(second, "DRIVERS:"));
  auto lines = WithoutPongs(Received(second));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], kSignOn);
  EXPECT_EQ(lines[1], kJoin);
  EXPECT_EQ(lines[2].rfind(RoomHead("TRACKS: Torvane "), 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind(RoomHead("CARS: Vanta_GT "), 0), 0u) << lines[3];
  std::string racing = status;
  racing.replace(racing.find(" OPEN "), 6, " IN_RACE ");
  EXPECT_EQ(lines[4], racing);
  EXPECT_EQ(lines[5].rfind(RoomHead("DRIVERS:"), 0), 0u);
  EXPECT_TRUE(WaitUntil([&] { return GreenLamp(); }));
  EXPECT_TRUE(NoMessageBoxFor(200));

  ExitProgram();
  EXPECT_EQ(Received(second).back(), "<message value=\"/quit\"/>");
}

TEST_F(ChatDropTest, ConnectionClosedByAListeningServer_NextPassSignsOnAgainWithoutAMessage) {
  TChatServerProcess& chat = StartChatServer();
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "100", "--seed", "9"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));

  ASSERT_TRUE(chat.Command("close all"));
  // The next pass finds the connection closed and connects again: the sign-on,
  // the join and both lists on a second connection, then the status and
  // drivers lines again (a fresh chat server would otherwise not know the game
  // server until the log grows); no message, green lamp.
  ASSERT_TRUE(WaitUntil([&] { return WithoutPongs(Received(chat, 2)).size() >= 6; }));
  auto again = WithoutPongs(Received(chat, 2));
  EXPECT_EQ(again[0], kSignOn);
  EXPECT_EQ(again[1], kJoin);
  EXPECT_EQ(again[2].rfind(RoomHead("TRACKS:"), 0), 0u);
  EXPECT_EQ(again[3].rfind(RoomHead("CARS:"), 0), 0u);
  EXPECT_EQ(again[4], Statuses(chat, 1).back());
  EXPECT_EQ(again[5], DriversLines(chat, 1).back());
  EXPECT_TRUE(NoMessageBoxFor(500));
  EXPECT_TRUE(GreenLamp());

  // The log grows: the status goes to the new connection.
  AppendLog({"Server: SYNC: 2way: 4 clients ready, race starts"});
  ASSERT_TRUE(WaitUntil([&] { return Statuses(chat, 2).size() >= 2; }));
  EXPECT_NE(Statuses(chat, 2).back().find(" IN_RACE "), std::string::npos)
      << Statuses(chat, 2).back();
  ExitProgram();
  EXPECT_EQ(Received(chat, 2).back(), "<message value=\"/quit\"/>");
}

}  // namespace

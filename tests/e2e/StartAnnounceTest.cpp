// Scenario 1: start, announce, follow. The program starts in a game server's
// folder with a log that already holds a history, signs on to the chat server
// and announces the server, follows the log as it grows, and on "Exit" says
// "/quit" last and leaves a complete "./response.txt".
#include "app/ControlIds.h"
#include "app/Resources.h"
#include "e2e/E2eFixture.h"

namespace {

using StartAnnounceTest = TE2eTest;

TEST_F(StartAnnounceTest, SignsOnAnnouncesFollowsTheLogAndSaysQuitLast) {
  TChatServerProcess& chat = StartChatServer({"--ping-interval", "300"});
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "400", "--seed", "7"});
  StartProgram();
  ASSERT_NE(Main(), nullptr) << "the status window did not show";

  // Expected: the sign-on under the server's name from the log, the join, the
  // track list (default names), the car list (two names, eleven free places),
  // then the first pass's status and drivers lines.
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  std::vector<std::string> first = WithoutPongs(Received(chat, 1));
  ASSERT_GE(first.size(), 6u);
  EXPECT_EQ(first[0], "<message value=\"/signon\t_Gull_Point_Racing\"/>");
  EXPECT_EQ(first[1], "<message value=\"/join\tServerList\"/>");
  EXPECT_EQ(first[2], RoomLineOf("TRACKS: Torvane Gull_Point Ambermoor Dusk_Plateau Fern_Hollow "
                                 "Tower_Heath Caddock Ostvik"));
  EXPECT_EQ(first[3], RoomLineOf("CARS: Vanta_GT Brisa_1600 * * * * * * * * * * *"));
  EXPECT_EQ(first[4].rfind(RoomHead("STATUS: 127.0.0.1 "), 0), 0u) << first[4];
  EXPECT_EQ(first[5].rfind(RoomHead("DRIVERS:"), 0), 0u) << first[5];

  // The window shows what was announced: the server's name in the caption, the
  // green lamp, and the same race board as the two lines.
  EXPECT_TRUE(WaitUntil([&] { return Caption() == "Server Status: Gull Point Racing"; }))
      << Caption();
  EXPECT_TRUE(WaitUntil([&] { return GreenLamp(); }));
  EXPECT_TRUE(WaitUntil([&] { return RoomLineOf(StatusFromWindow()) == first[4]; }))
      << StatusFromWindow() << " vs " << first[4];
  EXPECT_TRUE(WaitUntil([&] { return RoomLineOf(DriversFromWindow()) == first[5]; }))
      << DriversFromWindow() << " vs " << first[5];

  // A log that does not grow: passes go on, nothing more is announced.
  Pause(1500);
  EXPECT_EQ(Statuses(chat, 1).size(), 1u);

  // The log grows: a race starts, a player joins with a known name and the
  // track changes. One more status and drivers line says so.
  AppendLog({"Server: SYNC: 2way: 3 clients ready, race starts",
             "Server: User Connected: Nora Vale (7) @ 10.9.8.7:2300", "chat: Changing track to 4",
             "chat: Changing race_type to insane", "chat: Changing realism to simulation"});
  ASSERT_TRUE(WaitForReceived(chat, "STATUS:", 2));
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 2));
  auto statuses = Statuses(chat, 1);
  auto drivers = DriversLines(chat, 1);
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_EQ(statuses[1], RoomLineOf("STATUS: 127.0.0.1 IN_RACE Dusk Plateau 20 SIMULATION"));
  EXPECT_NE(drivers[1].find(" Nora_Vale"), std::string::npos) << drivers[1];
  EXPECT_TRUE(WaitUntil([&] {
    auto grid = Grid();
    return grid.size() == 8 &&
           grid[7] == std::vector<std::string>{"7", "Nora Vale", "10.9.8.7:2300", ""};
  }));
  EXPECT_TRUE(WaitUntil([&] { return TWindowDriver::Text(MainControl(kIdCBRace)) == "In Race"; }));

  // The race ends: the next line says OPEN.
  AppendLog({"Server: Singleton player reset."});
  ASSERT_TRUE(WaitForReceived(chat, "STATUS:", 3));
  statuses = Statuses(chat, 1);
  EXPECT_EQ(statuses.back(), RoomLineOf("STATUS: 127.0.0.1 OPEN Dusk Plateau 20 SIMULATION"));
  EXPECT_TRUE(NoMessageBoxFor(200));

  // Exit: "/quit" is the last line the chat server gets, the program ends.
  ExitProgram();
  ASSERT_TRUE(WaitForReceived(chat, "/quit", 1, 10000));
  auto all = Received(chat, 1);
  EXPECT_EQ(all.back(), "<message value=\"/quit\"/>");

  // "./response.txt" holds every message the chat server sent, each on its
  // line as it came (the line break before a message is its first bytes), and
  // after each ping the rest that was answered. The chat server sent the
  // welcome, the joined notice and the pings that the pongs echo.
  std::string expected = "<message value=\"/welcome\t_Gull_Point_Racing\"/>\r\n";
  expected += "\r\n<message value=\"/joined\tServerList\"/>\r\n";
  size_t pongs = 0;
  for (const auto& line : all) {
    const std::string head = "<message value=\"/pong\t";
    if (line.rfind(head, 0) != 0) continue;
    ++pongs;
    std::string fields = line.substr(head.size(), line.size() - head.size() - 3);
    std::string count = fields.substr(0, fields.find('\t'));
    std::string rest = fields.substr(fields.find('\t') + 1);
    expected += "\r\n<message value=\"/ping\t" + count + "\t" + rest + "\"/>\r\n" + rest + "\r\n";
    EXPECT_EQ(count, std::to_string(pongs)) << "a ping went unanswered";
  }
  EXPECT_GE(pongs, 3u);
  EXPECT_EQ(ReadFile("response.txt"), expected);
}

}  // namespace

// Scenario 2: the game server restarts under the running program. First it
// keeps its log file and empties it, later it deletes the file and creates a
// new one; each time the log grows again. The program puts the settings'
// defaults back on the board when it finds the log shorter, reads the new log
// from its start, and announces on without anyone touching it.
#include "app/ControlIds.h"
#include "e2e/E2eFixture.h"

namespace {

class GameServerRestartTest : public TE2eTest {
 protected:
  // Defaults that no log line of the scenario sets, so that a reset shows.
  static constexpr const char* kDefaults =
      "RECELENGTH=INSANE\r\nAISTRENGTH=HARD\r\nAINUMBER=7\r\nDAMAGE=Y\r\nREVERSE=Y\r\nTRK=3\r\n";

  // The board as the window shows the settings' defaults: race length Insane,
  // AI Hard with 7 cars, damage and reverse on, track 3 (Ambermoor), no race.
  bool ShowsDefaults() const {
    return RadioIndex(kIdRGRaceLen, 4) == 3 && RadioIndex(kIdRGAIStr, 3) == 2 &&
           TWindowDriver::Text(MainControl(kIdAICC)) == "7" &&
           TWindowDriver::Checked(MainControl(kIdCBDemage)) &&
           TWindowDriver::Checked(MainControl(kIdCBReverse)) &&
           TWindowDriver::Text(MainControl(kIdCBTrack)) == "Ambermoor" &&
           !TWindowDriver::Checked(MainControl(kIdCBRace));
  }
  // Waits until the last status line the chat server got is that one.
  bool WaitForStatus(TChatServerProcess& chat, const std::string& status) {
    return WaitUntil([&] {
      auto all = Statuses(chat);
      return !all.empty() && all.back() == RoomLineOf(status);
    });
  }
  bool LogExists() const {
    return GetFileAttributesA(File(kLogName).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
};

TEST_F(GameServerRestartTest, TruncatedThenReplacedLog_BoardResetsAndAnnouncementsGoOn) {
  TChatServerProcess& chat = StartChatServer();
  std::string settings = Settings("127.0.0.1", chat.Port());
  for (const char* key : {"RECELENGTH=SHORT\r\n", "AISTRENGTH=EASY\r\n", "AINUMBER=0\r\n",
                          "DAMAGE=N\r\n", "REVERSE=N\r\n", "TRK=1\r\n"})
    settings.erase(settings.find(key), std::string(key).size());
  settings.insert(settings.find("REFRESHTIME="), kDefaults);
  WriteFile("Brennak.ini", settings);

  RunGamelog({"--lines", "300", "--seed", "3"});
  // The running server's board, away from every default; a known player.
  AppendLog({"chat: Changing race_type to sprint", "chat: Changing ai_strength to easy ai",
             "chat: Changing ai car count to 2", "chat: Changing damage_on to damage off",
             "chat: Changing is_reversed to forward", "chat: Changing track to 6",
             "chat: Changing realism to arcade",
             "Server: User Connected: Ivo Brandt (1) @ 10.1.1.1:2300",
             "Server: SYNC: 2way: 2 clients ready, race starts"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(Statuses(chat).back(), RoomLineOf("STATUS: 127.0.0.1 IN_RACE Tower Heath 1 ARCADE"));
  EXPECT_NE(DriversLines(chat).back().find(" Ivo_Brandt"), std::string::npos);
  EXPECT_TRUE(WaitUntil([&] { return Caption() == "Server Status: Gull Point Racing"; }));

  // Restart 1: the server empties its log. The next pass finds it shorter and
  // resets the board to the defaults; the driver table stays as it was and
  // nothing is announced for a log that shrank.
  RunGamelog({"--truncate", "--lines", "0"});
  ASSERT_EQ(ReadFile(kLogName).size(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return ShowsDefaults(); })) << "the board was not reset";
  EXPECT_EQ(Grid().at(1).at(1), "Ivo Brandt");
  Pause(1000);
  EXPECT_EQ(Statuses(chat).size(), 1u);

  // The log grows again: the new server's start-up lines and a race.
  RunGamelog({"--lines", "12", "--name", "Gull Point Racing II"});
  AppendLog({"chat: Changing track to 2", "Server: SYNC: 2way: 1 clients ready, race starts"});
  // Start-up lines: track 3, arcade, short race; then track 2 and a race. (A
  // pass may also have caught the start-up lines alone and announced them.)
  EXPECT_TRUE(WaitForStatus(chat, "STATUS: 127.0.0.1 IN_RACE Gull Point 3 ARCADE"))
      << Statuses(chat).back();
  EXPECT_TRUE(WaitUntil([&] { return Caption() == "Server Status: Gull Point Racing II"; }))
      << Caption();
  EXPECT_NE(DriversLines(chat).back().find(" Ivo_Brandt"), std::string::npos);

  // Restart 2: the server deletes its log. Passes without a log read nothing,
  // show nothing and keep the chat connection.
  ASSERT_TRUE(WaitUntil([&] {
    DeleteFileA(File(kLogName).c_str());
    return !LogExists();
  }));
  size_t announced = Statuses(chat).size();
  Pause(1500);
  EXPECT_TRUE(Program().Running());
  EXPECT_TRUE(NoMessageBoxFor(100));
  EXPECT_TRUE(GreenLamp());
  EXPECT_EQ(Statuses(chat).size(), announced);

  // ...and creates a new one, shorter than the last: the board resets again
  // and the new log is read from its first byte (the new name shows).
  RunGamelog({"--lines", "12", "--name", "Gull Point Racing III"});
  EXPECT_TRUE(WaitUntil([&] { return Caption() == "Server Status: Gull Point Racing III"; }))
      << Caption();
  AppendLog(
      {"chat: Changing race_type to long", "Server: SYNC: 2way: 2 clients ready, race starts"});
  EXPECT_TRUE(WaitForStatus(chat, "STATUS: 127.0.0.1 IN_RACE Ambermoor 8 ARCADE"))
      << Statuses(chat).back();

  // Still the first connection all along: one sign-on.
  EXPECT_EQ(CountStarting(Received(chat), "<message value=\"/signon"), 1u);
  ExitProgram();
  EXPECT_EQ(Received(chat).back(), "<message value=\"/quit\"/>");
}

}  // namespace

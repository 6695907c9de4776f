// Announced where players can reach it, after the addresses change: with
// AUTORECONNECT the program asks the directory again (RECHECKAUTO), follows
// its own public address and a chat server that moved; without it, it asks
// only at the start.
#include <string>
#include <vector>

#include "e2e/E2eFixture.h"

namespace {

class AddressChangeTest : public TDirectoryE2eTest {
 protected:
  // Both addresses from the directory; serverKeys go to [SERVER].
  void WriteAutoSettings(const std::string& serverKeys) {
    std::string settings = Settings("AUTO", 7777, "AUTO");
    settings.insert(settings.find("[CAR]"), serverKeys + "JOURNAL=1\r\nRECHECKAUTO=3\r\n");
    WriteFile("Brennak.ini", settings);
    RunGamelog({"--lines", "60", "--seed", "9"});
  }
  bool Directory(int chatPort, const std::string& ownAddress) {
    return StartDirectory({"--chat-ip", "127.0.0.1", "--chat-port", std::to_string(chatPort),
                           "--my-ip", ownAddress, "--quiet"});
  }
  size_t JournalLinesWith(const std::string& text) const {
    if (GetFileAttributesA(File("orvane.log").c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    return CountContaining(SplitCrLf(ReadFile("orvane.log")), text);
  }
};

TEST_F(AddressChangeTest, OwnAddressChanges_TheRoomGetsTheNewOneWhileTheLogStaysStill) {
  TChatServerProcess& chat = StartChatServer();
  ASSERT_TRUE(Directory(chat.Port(), "198.51.100.9"));
  WriteAutoSettings("AUTORECONNECT=2\r\n");
  StartProgram();
  ASSERT_TRUE(WaitForReceived(chat, "STATUS: 198.51.100.9 "));
  // The public address changes overnight; the game server is quiet.
  StopDirectory();
  ASSERT_TRUE(Directory(chat.Port(), "198.51.100.77"));
  EXPECT_TRUE(WaitForReceived(chat, "STATUS: 198.51.100.77 ", 1, 15000));
  EXPECT_EQ(CountStarting(Received(chat), "<message value=\"/signon"), 1u);
  EXPECT_TRUE(NoMessageBoxFor(200));
  EXPECT_EQ(JournalLinesWith(" LOOKUP own address changed from 198.51.100.9 to 198.51.100.77"), 1u);
  ExitProgram();
}

TEST_F(AddressChangeTest, ChatServerMoves_TheSecondGetsTheSignOnAndTheStatus) {
  TChatServerProcess& first = StartChatServer();
  ASSERT_TRUE(Directory(first.Port(), "198.51.100.9"));
  WriteAutoSettings("AUTORECONNECT=2\r\n");
  StartProgram();
  ASSERT_TRUE(WaitForReceived(first, "DRIVERS:"));
  // The first chat server goes away; the directory names a second one.
  TChatServerProcess& second = StartChatServer();
  first.Kill();
  StopDirectory();
  ASSERT_TRUE(Directory(second.Port(), "198.51.100.9"));
  ASSERT_TRUE(WaitForReceived(second, "DRIVERS:"));
  EXPECT_EQ(Received(second).at(0), "<message value=\"/signon\t_Gull_Point_Racing\"/>");
  EXPECT_EQ(Statuses(second).size(), 1u);
  EXPECT_TRUE(NoMessageBoxFor(200));
  EXPECT_EQ(
      JournalLinesWith(" LOOKUP chat server moved from 127.0.0.1:" + std::to_string(first.Port()) +
                       " to 127.0.0.1:" + std::to_string(second.Port())),
      1u);
  ExitProgram();
}

TEST_F(AddressChangeTest, WithoutAutoreconnect_TheDirectoryIsAskedOnlyAtTheStart) {
  TChatServerProcess& chat = StartChatServer();
  ASSERT_TRUE(Directory(chat.Port(), "198.51.100.9"));
  WriteAutoSettings("");
  StartProgram();
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  StopDirectory();
  ASSERT_TRUE(Directory(chat.Port(), "198.51.100.77"));
  // Three re-checks' worth of time.
  Pause(10000);
  EXPECT_EQ(JournalLinesWith(" LOOKUP directory answered: "), 1u);
  EXPECT_EQ(CountContaining(Statuses(chat), "198.51.100.77"), 0u);
  ExitProgram();
}

}  // namespace

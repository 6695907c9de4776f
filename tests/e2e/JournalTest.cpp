// The operator's journal, read afterwards as an operator reads it: an outage
// of the chat server and a restart of the game server while nobody watched.
// Without [SERVER] JOURNAL=1 the same run leaves no journal at all.
#include <regex>
#include <string>
#include <vector>

#include "e2e/E2eFixture.h"

namespace {

class JournalTest : public TE2eTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Kept() const { return GetParam(); }
  bool JournalExists() const {
    return GetFileAttributesA(File("orvane.log").c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::vector<std::string> Journal() const {
    return JournalExists() ? SplitCrLf(ReadFile("orvane.log")) : std::vector<std::string>();
  }
  bool JournalHas(const std::string& text) const {
    for (const std::string& line : Journal())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_P(JournalTest, OutageAndRestart_TellTheirStoryInOrder) {
  TChatServerProcess& chat = StartChatServer();
  std::string settings = Settings("127.0.0.1", chat.Port());
  settings.insert(settings.find("[CAR]"),
                  std::string("AUTORECONNECT=2\r\n") + (Kept() ? "JOURNAL=1\r\n" : ""));
  WriteFile("Brennak.ini", settings);
  RunGamelog({"--lines", "200", "--seed", "5"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));

  // The chat server drops the link and refuses for a few seconds.
  ASSERT_TRUE(chat.Command("refuse 3"));
  ASSERT_TRUE(chat.Command("close all"));
  ASSERT_TRUE(WaitForReceived(chat, "/signon", 2));
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 2));

  // The game server restarts: its log is emptied.
  RunGamelog({"--truncate", "--lines", "0"});
  if (Kept())
    EXPECT_TRUE(WaitUntil([&] { return JournalHas(" GAMELOG log shrank from "); }));
  else
    Pause(1500);
  ExitProgram();

  if (!Kept()) {
    EXPECT_FALSE(JournalExists());
    return;
  }
  const std::vector<std::string> lines = Journal();
  const std::regex format(
      "\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}[+-]\\d{2}:\\d{2} "
      "(START|LOOKUP|SIGNON|LOST|FAIL|BOX|GAMELOG|RACE|SAVE|EXIT) [^\\r\\n]*");
  std::vector<std::string> story;
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, format)) << line;
    const std::string event = line.substr(26);
    if (event.rfind("RACE ", 0) != 0) story.push_back(event);
  }
  const std::string at = "127.0.0.1:" + std::to_string(chat.Port());
  const std::vector<std::string> expected = {
      "START ORVANE ",
      "SIGNON signed on at " + at + " as _Gull_Point_Racing",
      "LOST link to " + at + " lost: closed by the chat server",
      "FAIL connect to " + at + " failed: Socket Error # 10061 Connection refused.",
      "SIGNON signed on at " + at + " as _Gull_Point_Racing (after ",
      "GAMELOG log shrank from ",
      "EXIT by File > Exit, the stop took ",
  };
  ASSERT_EQ(story.size(), expected.size()) << ::testing::PrintToString(lines);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(story[i].rfind(expected[i], 0), 0u) << story[i];
  // The outage's length is told with the sign-on that ended it.
  EXPECT_NE(story[4].find(" tries, down "), std::string::npos) << story[4];
  EXPECT_NE(story[5].find(" to 0 bytes: game server restarted"), std::string::npos) << story[5];
}

INSTANTIATE_TEST_SUITE_P(WithAndWithout, JournalTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Kept" : "NotKept"; });

}  // namespace

// The start-of-session values and the response file that InitSession opens.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "session/Settings.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include "platform/win32/SystemError.h"
#endif

namespace {

// The platform's own words for "this path is a folder, not a file you can create".
std::string FolderInTheWayText() {
#ifdef _WIN32
  return SystemErrorText(5);  // ERROR_ACCESS_DENIED
#else
  return std::strerror(EISDIR);
#endif
}

class SessionStart : public ::testing::Test {
 protected:
  TTempDir Dir;
  TWorkingDirectory Here{Dir.Path()};
  TSession Session;
  TRaceBoard Board;
};

TEST_F(SessionStart, SetsTheStartValuesAndKeepsTheSettings) {
  Session.LastLogSize = 5000;
  Session.ReadOffset = 4000;
  Session.ServerName = "_Old_Server";
  Session.CurrentRealism = 2;
  Session.ResendRequested = true;
  Session.ChatServerAddress = "chat.example";
  Session.DefaultTrack = 3;
  Board.InRace = true;
  Board.Damage = true;
  Board.SetRealism(2);
  InitSession(Session, Board);
  EXPECT_EQ(Session.LastLogSize, -1);
  EXPECT_EQ(Session.ReadOffset, 0);
  EXPECT_EQ(Session.ServerName, "");
  EXPECT_EQ(Session.CurrentRealism, 0);
  EXPECT_FALSE(Session.ResendRequested);
  EXPECT_FALSE(Board.InRace);
  // Settings and the other board fields wait for the watcher's first pass.
  EXPECT_EQ(Session.ChatServerAddress, "chat.example");
  EXPECT_EQ(Session.DefaultTrack, 3);
  EXPECT_TRUE(Board.Damage);
  EXPECT_EQ(Board.Realism(), 2);
  Session.ResponseLog.Close();
}

TEST_F(SessionStart, CreatesAnEmptyResponseFile) {
  InitSession(Session, Board);
  EXPECT_TRUE(Session.ResponseLog.IsOpen());
  EXPECT_EQ(ReadFileBytes(Dir.File("response.txt")), "");
  Session.ResponseLog.WriteLine("<message value=\"PING\"/>");
  Session.ResponseLog.Close();
  EXPECT_EQ(ReadFileBytes(Dir.File("response.txt")), "<message value=\"PING\"/>\r\n");
}

TEST_F(SessionStart, EmptiesTheResponseFileOfTheLastRunAndKeepsTheOldOne) {
  WriteFileBytes(Dir.File("response.txt"), std::string(5000, 'x'));
  WriteFileBytes(Dir.File("response.old.txt"), std::string(5000, 'o'));
  InitSession(Session, Board);
  EXPECT_EQ(ReadFileBytes(Dir.File("response.txt")), "");
  EXPECT_EQ(ReadFileBytes(Dir.File("response.old.txt")), std::string(5000, 'o'));
  Session.ResponseLog.Close();
}

TEST_F(SessionStart, ResponseFileThatCannotBeCreatedFailsWithThePlatformsText) {
  std::filesystem::create_directory(Dir.File("response.txt"));
  try {
    InitSession(Session, Board);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), FolderInTheWayText());
  }
  EXPECT_FALSE(Session.ResponseLog.IsOpen());
  EXPECT_TRUE(std::filesystem::is_directory(Dir.File("response.txt")));
}

}  // namespace

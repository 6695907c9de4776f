// The operator's journal through the platform's file adapter: its lines, its
// bound, and the folding of runs of repeats.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/SharedFile.h"
#include "session/Journal.h"
#include "session/JournalText.h"
#include "session/LinkLog.h"
#include "support/TempDir.h"

namespace {

struct TLineCase {
  int OffsetMinutes;
  const char* Text;
  const char* Line;
};

class JournalLines : public ::testing::TestWithParam<TLineCase> {};

TEST_P(JournalLines, StampWordAndOneLineOfText) {
  TLocalTime at;
  at.Year = 2026;
  at.Month = 3;
  at.Day = 9;
  at.Hour = 7;
  at.Minute = 5;
  at.Second = 4;
  at.OffsetMinutes = GetParam().OffsetMinutes;
  EXPECT_EQ(JournalLine(at, "LOST", GetParam().Text), GetParam().Line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JournalLines,
    ::testing::Values(
        TLineCase{60, "link lost", "2026-03-09 07:05:04+01:00 LOST link lost\r\n"},
        TLineCase{-330, "x", "2026-03-09 07:05:04-05:30 LOST x\r\n"},
        TLineCase{0, "", "2026-03-09 07:05:04+00:00 LOST \r\n"},
        // The socket error's line break is one blank; lone CR and LF are blanks.
        TLineCase{
            0, "Socket Error # 10054\r\nConnection reset by peer.",
            "2026-03-09 07:05:04+00:00 LOST Socket Error # 10054 Connection reset by peer.\r\n"},
        TLineCase{0, "a\rb\nc", "2026-03-09 07:05:04+00:00 LOST a b c\r\n"}));

TEST(JournalText, NumbersAndDurationsAsAnOperatorReadsThem) {
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(1022), "1 022");
  EXPECT_EQ(GroupedNumber(48213), "48 213");
  EXPECT_EQ(GroupedNumber(4294967296), "4 294 967 296");
  EXPECT_EQ(Duration(12), "12 s");
  EXPECT_EQ(Duration(185), "3 min 05 s");
  EXPECT_EQ(Duration(3720), "1 h 02 min");
}

// A journal in a temporary folder with a clock the test moves.
class JournalFile : public ::testing::Test {
 protected:
  void Open(uint64_t maxBytes = TJournal::kMaxBytes) {
    Journal.Open(
        Path, OldPath, maxBytes, [this] { return Start + std::chrono::seconds(Seconds.load()); },
        [this] {
          TLocalTime t;
          t.Year = 2026;
          t.Month = 12;
          t.Day = 1;
          t.Hour = 14 + static_cast<int>(Seconds / 3600);
          t.Minute = 2 + static_cast<int>(Seconds / 60 % 60);
          return t;
        });
  }
  static std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
      lines.push_back(bytes.substr(start, at - start));
    EXPECT_EQ(start, bytes.size()) << "an unfinished line";
    return lines;
  }
  std::vector<std::string> Written() {
    return FileExists(Path) ? Lines(ReadFileBytes(Path)) : std::vector<std::string>();
  }
  // Waits until the journal's thread has written count lines.
  bool WaitForLines(size_t count) {
    for (int i = 0; i < 500; ++i) {
      if (Written().size() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TTempDir Dir;
  const std::string Path = Dir.File("orvane.log");
  const std::string OldPath = Dir.File("orvane.old.log");
  const std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
  std::atomic<long long> Seconds{0};
  TJournal Journal;
};

TEST_F(JournalFile, OffWritesNoFileAtAll) {
  Journal.Write("START", "ORVANE");
  Journal.Close();
  EXPECT_FALSE(FileExists(Path));
}

TEST_F(JournalFile, AppendsToTheJournalOfEarlierStarts) {
  const std::string before = "2026-11-30 09:00:00+01:00 EXIT from before\r\n";
  WriteFileBytes(Path, before);
  Open();
  Journal.Write("START", "ORVANE");
  Journal.Close();
  const std::string bytes = ReadFileBytes(Path);
  EXPECT_EQ(bytes.substr(0, before.size()), before);
  EXPECT_EQ(Lines(bytes).size(), 2u);
}

TEST_F(JournalFile, MovesAsideBeforePassingItsBoundKeepingTheLatestLines) {
  Open(400);
  for (int i = 0; i < 12; ++i) {
    Journal.Write("RACE", "joined: driver number " + std::to_string(i));
    ++Seconds;  // a second apart: the average of a line a second holds
  }
  Journal.Close();
  std::vector<std::string> lines = Lines(ReadFileBytes(OldPath));
  const std::vector<std::string> newer = Written();
  EXPECT_LE(ReadFileBytes(Path).size(), 400u);
  EXPECT_LE(ReadFileBytes(OldPath).size(), 400u);
  lines.insert(lines.end(), newer.begin(), newer.end());
  // Every line of the last two files, in order; the oldest moved out first.
  ASSERT_GE(lines.size(), 2u);
  const std::string last = lines.back();
  EXPECT_NE(last.find("joined: driver number 11"), std::string::npos);
  for (size_t i = 1; i < lines.size(); ++i) {
    const size_t at = lines[i].find("number ");
    const size_t before = lines[i - 1].find("number ");
    if (at != std::string::npos && before != std::string::npos) {
      EXPECT_EQ(std::stoi(lines[i].substr(at + 7)), std::stoi(lines[i - 1].substr(before + 7)) + 1);
    }
  }
}

TEST_F(JournalFile, ARunOfFailuresFoldsAndTheSignOnSaysHowLongItLasted) {
  Open();
  TLinkLog link(Journal);
  link.SignedOn("203.0.113.4", 7777, "_Harbour");
  link.Lost("closed by the chat server");
  // A chat server that refuses every 5 s for 25 minutes.
  for (int i = 0; i < 300; ++i) {
    link.ConnectFailed("203.0.113.4", 7777, "Socket Error # 10061\r\nConnection refused.", 5000);
    Seconds += 5;
    if (i % 120 == 119) {
      ASSERT_TRUE(WaitForLines(4 + static_cast<size_t>(i) / 120));
    }
  }
  link.SignedOn("203.0.113.4", 7777, "_Harbour");
  Journal.Close();
  std::vector<std::string> lines = Written();
  for (std::string& line : lines) line = line.substr(26);  // the time stamps
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "SIGNON signed on at 203.0.113.4:7777 as _Harbour",
                       "LOST link to 203.0.113.4:7777 lost: closed by the chat server",
                       "FAIL connect to 203.0.113.4:7777 failed: Socket Error # 10061 "
                       "Connection refused.",
                       "FAIL still failing: 120 tries since 14:02, next in 5 s",
                       "FAIL still failing: 240 tries since 14:02, next in 5 s",
                       "SIGNON signed on at 203.0.113.4:7777 as _Harbour (after 301 tries, down "
                       "25 min 00 s)",
                   }));
}

TEST_F(JournalFile, ABurstCannotOutrunALineASecond) {
  Open();
  for (int i = 0; i < 1000; ++i) Journal.Write("GAMELOG", "log shrank");
  Seconds += 10;
  Journal.Write("EXIT", "by the close box");
  Journal.Close();
  const std::vector<std::string> lines = Written();
  EXPECT_EQ(lines.size(), static_cast<size_t>(TJournal::kBurstLines) + 1);
  EXPECT_NE(lines.back().find("EXIT by the close box (940 lines before this one left out)"),
            std::string::npos);
}

}  // namespace

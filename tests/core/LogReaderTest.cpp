#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "monitor/LogReader.h"
#include "support/TempDir.h"
#include "support/WatcherDifferential.h"

namespace {

struct TLine {
  std::string Text;
  int64_t Count;
  bool operator==(const TLine& o) const { return Text == o.Text && Count == o.Count; }
};
std::ostream& operator<<(std::ostream& os, const TLine& l) {
  std::string shown;
  for (char c : l.Text) shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return os << "\"" << shown << "\"/" << l.Count;
}

// Every line that ReadLogLine gives until the end of the file.
std::vector<TLine> Lines(TLogReader& reader) {
  std::vector<TLine> lines;
  std::string text;
  while (int64_t n = reader.ReadLogLine(text)) lines.push_back({text, n});
  return lines;
}

std::vector<TLine> LinesOf(const std::string& bytes, size_t bufferBytes = 64) {
  TMemoryLogFile file;
  file.Bytes = bytes;
  TLogReader reader(file, bufferBytes);
  return Lines(reader);
}

TEST(ReadLogLine, CrLfEndsALineAndBothBytesCount) {
  EXPECT_EQ(LinesOf("ab\r\ncd\r\n"), (std::vector<TLine>{{"ab", 4}, {"cd", 4}}));
}

TEST(ReadLogLine, DropsTheByteAfterACrWhateverItIs) {
  EXPECT_EQ(LinesOf("ab\rXcd\r\r\r\nef"),
            (std::vector<TLine>{{"ab", 4}, {"cd", 4}, {"", 2}, {"ef", 2}}));
}

TEST(ReadLogLine, EmptyFileGivesNothing) {
  TMemoryLogFile file;
  TLogReader reader(file);
  std::string line = "left over";
  EXPECT_EQ(reader.ReadLogLine(line), 0);
  EXPECT_EQ(line, "");
}

TEST(ReadLogLine, LfAloneEndsNoLine) {
  EXPECT_EQ(LinesOf("one\ntwo\nthree\n"), (std::vector<TLine>{{"one\ntwo\nthree\n", 14}}));
}

TEST(ReadLogLine, CrAsTheLastByteStaysInTheLine) {
  EXPECT_EQ(LinesOf("ab\r\ncd\r"), (std::vector<TLine>{{"ab", 4}, {"cd\r", 3}}));
}

TEST(ReadLogLine, LinesLongerThanTheBufferComeOutWhole) {
  std::string longLine(100, 'x');
  for (size_t size : {2, 3, 7, 99, 100, 101, 102}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(LinesOf(longLine + "\r\n" + longLine + "\ry\r", size),
              (std::vector<TLine>{{longLine, 102}, {longLine, 102}, {"\r", 1}}));
  }
}

TEST(ReadLogLine, KeepsNoMoreThanTheLongestLineButCountsEveryByte) {
  TMemoryLogFile file;
  file.Bytes = std::string(50, 'a') + "\r\n" + "short\r\n" + std::string(40, 'b');
  TLogReader reader(file, 8, 16);
  EXPECT_EQ(
      Lines(reader),
      (std::vector<TLine>{{std::string(16, 'a'), 52}, {"short", 7}, {std::string(16, 'b'), 40}}));
}

// A real log file that another handle keeps appending to, as the game server does.
class GrowingLog : public ::testing::Test {
 protected:
  void Append(const std::string& bytes) { AppendFileBytes(Path, bytes); }
  std::vector<TLine> ReadNew() {
    TSharedLogFile file;
    file.Open(Path);
    if (Offset != 0) file.Seek(Offset);
    TLogReader reader(file, 16);
    std::vector<TLine> lines = Lines(reader);
    for (const TLine& l : lines) Offset += l.Count;
    file.Close();
    return lines;
  }
  TTempDir Dir;
  std::string Path = Dir.File("strakon.log");
  int64_t Offset = 0;
  void SetUp() override { WriteFileBytes(Path, ""); }
};

TEST_F(GrowingLog, UnfinishedLastLineIsReadAndItsRestComesAsANewLine) {
  Append("latency for Bob is 12");
  EXPECT_EQ(ReadNew(), (std::vector<TLine>{{"latency for Bob is 12", 21}}));
  Append("0\r\nnext\r\n");
  EXPECT_EQ(ReadNew(), (std::vector<TLine>{{"0", 3}, {"next", 6}}));
  EXPECT_EQ(Offset, 30);
}

TEST_F(GrowingLog, LfWrittenAfterAFinalCrBeginsTheNextLine) {
  Append("one\r");
  EXPECT_EQ(ReadNew(), (std::vector<TLine>{{"one\r", 4}}));
  Append("\nServer: User Connected: Bob (3) @ 10.0.0.5:2300\r\n");
  EXPECT_EQ(ReadNew(),
            (std::vector<TLine>{{"\nServer: User Connected: Bob (3) @ 10.0.0.5:2300", 50}}));
}

TEST_F(GrowingLog, ReadingAtTheEndGivesNothing) {
  Append("a\r\n");
  ReadNew();
  EXPECT_TRUE(ReadNew().empty());
  EXPECT_EQ(Offset, 3);
}

TEST(TakeRuleLine, PassesOverLinesWithoutTriggerWordsAndCountsThem) {
  TMemoryLogFile file;
  file.Bytes = "chat: Bob: gg\r\nnet: ok\r\nlatency for Bob is 5\r\nLap 1\r\n";
  TLogReader reader(file, 4096);
  reader.Fill();
  TRuleLine line;
  int64_t consumed = 0;
  ASSERT_TRUE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(line.Text, "latency for Bob is 5");
  EXPECT_EQ(line.Words, kWordLatency);
  EXPECT_EQ(consumed, 15 + 9 + 22);
  // The last line has no word: it is passed over, but only once the end of
  // the file shows that nothing follows its CR LF... which the buffer does.
  EXPECT_FALSE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(consumed, static_cast<int64_t>(file.Bytes.size()));
}

TEST(TakeRuleLine, ReportsEveryTriggerWordOfTheLine) {
  TMemoryLogFile file;
  file.Bytes = "x Server: User Connected: latency for Server: Disconnecting\r\n";
  TLogReader reader(file, 4096);
  reader.Fill();
  TRuleLine line;
  int64_t consumed = 0;
  ASSERT_TRUE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(line.Words, kWordUser | kWordLatency | kWordDisconnecting);
}

// The rules skip their searches on a line whose one trigger word opens it: the
// reader says so of no other line.
TEST(TakeRuleLine, SaysWhenTheLinesOneTriggerWordOpensIt) {
  const struct {
    const char* Line;
    bool OneWordOpens;
  } cases[] = {{"latency for Bob is 5", true},
               {"x latency for Bob is 5", false},
               {"latency for latency for", false},
               {"Server: User Connected: latency for", false},
               {"chat: Changing track to 3", true}};
  for (const auto& c : cases) {
    TMemoryLogFile file;
    file.Bytes = std::string("net: ok\r\n") + c.Line + "\r\n";
    TLogReader reader(file, 4096);
    reader.Fill();
    TRuleLine line;
    int64_t consumed = 0;
    ASSERT_TRUE(reader.TakeRuleLine(line, consumed)) << c.Line;
    EXPECT_EQ(line.Text, c.Line);
    EXPECT_EQ(line.OneWordOpens, c.OneWordOpens) << c.Line;
  }
}

TEST(TakeRuleLine, WordStartingOnTheDroppedByteBelongsToNoLine) {
  TMemoryLogFile file;
  file.Bytes = "x\rlatency for Bob is 5\r\n";
  TLogReader reader(file, 4096);
  reader.Fill();
  TRuleLine line;
  int64_t consumed = 0;
  EXPECT_FALSE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(consumed, 24);
}

TEST(TakeRuleLine, WaitsForTheByteAfterAFinalCr) {
  TMemoryLogFile file;
  file.Bytes = "latency for Bob is 5\r";
  TLogReader reader(file, 4096);
  reader.Fill();
  TRuleLine line;
  int64_t consumed = 0;
  EXPECT_FALSE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(consumed, 0);
  EXPECT_EQ(reader.Fill(), 0u);  // the end of the file: the CR stays in the line
  ASSERT_TRUE(reader.TakeRuleLine(line, consumed));
  EXPECT_EQ(line.Text, "latency for Bob is 5\r");
  EXPECT_EQ(consumed, 21);
  EXPECT_TRUE(reader.Drained());
}

// Random logs built from the pieces that matter (line ends in every form,
// trigger words, quotes, slots, names), read in random pieces through random
// buffer sizes: the pass reading, the line-by-line reading and the plain
// reference leave the same board, offsets, realism, server name and caption.
std::string RandomLog(std::mt19937& random, int pieces) {
  static const char* const kPieces[] = {"\r\n",
                                        "\r",
                                        "\n",
                                        "\r\r",
                                        " ",
                                        "(",
                                        ")",
                                        "3",
                                        "7",
                                        "9",
                                        "x",
                                        "\"",
                                        "@ 10.0.0.5:2300",
                                        "Bob",
                                        "Big Al",
                                        " is ",
                                        "120",
                                        "Server: SYNC: 2way:",
                                        "Server: Singleton player reset.",
                                        "created, running...",
                                        "chat: Changing realism to ",
                                        "simulation",
                                        "intermediate realism",
                                        "chat: Changing track to ",
                                        "chat: Changing race_type ",
                                        "long",
                                        "chat: Changing ai_strength ",
                                        "hard ai",
                                        "chat: Changing ai car count ",
                                        "chat: Changing damage_on ",
                                        "damage on",
                                        "chat: Changing is_reversed ",
                                        "forward",
                                        "Server: User Connected: ",
                                        "Server: User ",
                                        "Server: Disconnecting ",
                                        "latency for ",
                                        "Server: Sending world state",
                                        "latency",
                                        "Server: Use",
                                        "chat: Changin"};
  std::string log;
  std::uniform_int_distribution<size_t> pick(0, sizeof kPieces / sizeof kPieces[0] - 1);
  for (int i = 0; i < pieces; ++i) log += kPieces[pick(random)];
  return log;
}

TEST(LogReadings, AgreeWithThePlainReferenceOnRandomLogs) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 400; ++round) {
    std::string log = RandomLog(random, 10 + round % 120);
    std::vector<std::string> pieces;
    for (size_t at = 0; at < log.size();) {
      size_t n = std::uniform_int_distribution<size_t>(1, log.size() - at)(random);
      pieces.push_back(log.substr(at, n));
      at += n;
    }
    // Some buffers hold many groups of the trigger-word search, whose CR marks
    // then find the lines' ends.
    size_t buffer = std::uniform_int_distribution<size_t>(2, round % 4 == 0 ? 3000 : 300)(random);
    size_t maxRead = std::uniform_int_distribution<size_t>(1, 400)(random);
    size_t maxLine = round % 3 == 0 ? std::uniform_int_distribution<size_t>(1, 80)(random)
                                    : TLogReader::kMaxLineBytes;
    TReadingOutcome reference = ReadByReference(pieces, maxLine);
    bool ranges = true;
    TReadingOutcome pass = ReadLikeThePass(pieces, buffer, maxRead, maxLine, false, &ranges);
    TReadingOutcome ahead = ReadLikeThePass(pieces, buffer, maxRead, maxLine, true);
    TReadingOutcome lines = ReadLineByLine(pieces, buffer, maxRead, maxLine);
    ASSERT_EQ(pass, reference) << "round " << round << "\npass      " << pass.Text()
                               << "\nreference " << reference.Text();
    ASSERT_EQ(ahead, reference) << "round " << round << "\nahead     " << ahead.Text()
                                << "\nreference " << reference.Text();
    ASSERT_EQ(lines, reference) << "round " << round << "\nlines     " << lines.Text()
                                << "\nreference " << reference.Text();
    ASSERT_TRUE(ranges) << "round " << round;
    ASSERT_EQ(reference.Offsets.back(), static_cast<int64_t>(log.size()));
  }
}

}  // namespace

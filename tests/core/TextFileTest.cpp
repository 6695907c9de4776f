// The response file: created or emptied, CR LF after every line, written through
// a 128-byte buffer, emptied to disk on Close, moved aside when full.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/TextFile.h"
#include "support/TempDir.h"

namespace {

size_t DiskSize(const std::string& path) {
  return ReadFileBytes(path).size();
}

TEST(TextFile, NothingReachesTheDiskBeforeTheBufferIsFull) {
  TTempDir dir;
  std::string path = dir.File("response.txt");
  TTextFile file;
  file.Rewrite(path);
  const std::string first(125, 'a');  // 127 bytes with its line end
  file.WriteLine(first);
  EXPECT_EQ(DiskSize(path), 0u);
  file.WriteLine("bcdefghi");  // 137 bytes in all: one full buffer goes out
  EXPECT_EQ(ReadFileBytes(path), (first + "\r\nb"));
  file.Close();
  EXPECT_EQ(ReadFileBytes(path), first + "\r\nbcdefghi\r\n");
}

TEST(TextFile, LongLineLeavesOnlyWholeBuffers) {
  TTempDir dir;
  std::string path = dir.File("response.txt");
  TTextFile file;
  file.Rewrite(path);
  file.WriteLine(std::string(300, 'x'));
  EXPECT_EQ(DiskSize(path), 256u);
  file.Close();
  EXPECT_EQ(ReadFileBytes(path), std::string(300, 'x') + "\r\n");
}

TEST(TextFile, LinesEndInCrLfAndKeepTheirOwnBytes) {
  TTempDir dir;
  std::string path = dir.File("response.txt");
  TTextFile file;
  file.Rewrite(path);
  file.WriteLine("a\nb");
  file.WriteLine("");
  file.WriteLine("c\r");
  file.Close();
  EXPECT_EQ(ReadFileBytes(path), "a\nb\r\n\r\nc\r\r\n");
}

TEST(TextFile, RewriteEmptiesAnOldFileAtOnce) {
  TTempDir dir;
  std::string path = dir.File("response.txt");
  WriteFileBytes(path, std::string(1000, 'o'));
  TTextFile file;
  file.Rewrite(path);
  EXPECT_EQ(DiskSize(path), 0u);
  file.WriteLine("new");
  file.Close();
  EXPECT_EQ(ReadFileBytes(path), "new\r\n");
}

TEST(TextFile, RewriteOfAnOpenFileClosesTheFirstWithItsLines) {
  TTempDir dir;
  TTextFile file;
  file.Rewrite(dir.File("one.txt"));
  file.WriteLine("first");
  file.Rewrite(dir.File("two.txt"));
  file.WriteLine("second");
  EXPECT_EQ(ReadFileBytes(dir.File("one.txt")), "first\r\n");
  file.Close();
  EXPECT_EQ(ReadFileBytes(dir.File("two.txt")), "second\r\n");
}

TEST(TextFile, CloseTwiceIsHarmlessAndWritingAfterCloseFails) {
  TTempDir dir;
  TTextFile file;
  EXPECT_FALSE(file.IsOpen());
  file.Rewrite(dir.File("response.txt"));
  EXPECT_TRUE(file.IsOpen());
  file.WriteLine("x");
  file.Close();
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_THROW(file.WriteLine("y"), EInOutError);
  EXPECT_EQ(ReadFileBytes(dir.File("response.txt")), "x\r\n");
}

TEST(TextFile, DestructionWritesWhatTheBufferHolds) {
  TTempDir dir;
  {
    TTextFile file;
    file.Rewrite(dir.File("response.txt"));
    file.WriteLine("last words");
  }
  EXPECT_EQ(ReadFileBytes(dir.File("response.txt")), "last words\r\n");
}

TEST(TextFile, FolderInTheWayFailsWithAnError) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("response.txt"));
  TTextFile file;
  try {
    file.Rewrite(dir.File("response.txt"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STRNE(e.what(), "");
  }
  EXPECT_FALSE(file.IsOpen());
}

// The receive thread writes while the window's thread may close: lines from two
// threads never mix.
TEST(TextFile, LinesFromTwoThreadsStayWhole) {
  TTempDir dir;
  std::string path = dir.File("response.txt");
  TTextFile file;
  file.Rewrite(path);
  auto writer = [&file](char c) {
    for (int i = 0; i < 400; ++i) file.WriteLine(std::string(37, c) + std::to_string(i));
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  file.Close();
  std::istringstream lines(ReadFileBytes(path));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r');
    char c = line[0];
    ASSERT_EQ(line.substr(0, 37), std::string(37, c)) << line;
    ASSERT_TRUE(c == 'a' || c == 'b');
    ++count;
  }
  EXPECT_EQ(count, 800);
}

// A file filled past its bound, the old file from an earlier run beside it.
class TextFileRotation : public ::testing::Test {
 protected:
  void Open(uint64_t maxBytes) {
    WriteFileBytes(OldPath, "earlier\r\n");
    File.SetRotation(OldPath, maxBytes);
    File.Rewrite(Path);
  }
  TTempDir Dir;
  const std::string Path = Dir.File("response.txt");
  const std::string OldPath = Dir.File("response.old.txt");
  TTextFile File;
};

TEST_F(TextFileRotation, FullFileIsMovedAsideAndEveryLineIsInTheTwoFilesInOrder) {
  const uint64_t kBound = 1000;
  Open(kBound);
  EXPECT_EQ(ReadFileBytes(OldPath), "earlier\r\n");
  // Lines of 3 to 60 bytes, so that they end anywhere in the 128-byte buffer.
  std::string written;
  for (int i = 0; written.size() < kBound * 3 / 2; ++i) {
    const std::string line = std::to_string(i) + std::string(i % 57, 'x');
    File.WriteLine(line);
    written += line + "\r\n";
  }
  File.Close();
  const std::string old = ReadFileBytes(OldPath), current = ReadFileBytes(Path);
  EXPECT_EQ(old + current, written);
  ASSERT_GE(old.size(), 2u);
  EXPECT_EQ(old.substr(old.size() - 2), "\r\n") << "a line was split between the files";
  EXPECT_LE(old.size(), kBound);
  EXPECT_LE(current.size(), kBound);
  EXPECT_GT(old.size() + current.find("\r\n") + 2, kBound) << "moved aside before it was full";
}

// Where the bound falls between lines, and lines longer than the bound.
TEST_F(TextFileRotation, BoundCases) {
  struct TCase {
    const char* Name;
    uint64_t Bound;
    std::vector<std::string> Lines;
    std::string Old, Current;
  };
  const TCase cases[] = {
      {"lines fill the file to the byte", 10, {"abc", "def"}, "earlier\r\n", "abc\r\ndef\r\n"},
      {"one byte more moves it aside", 9, {"abc", "def"}, "abc\r\n", "def\r\n"},
      {"a longer line gets a file of its own",
       5,
       {"ab", "0123456789", "c"},
       "0123456789\r\n",
       "c\r\n"},
      {"an empty file is never moved aside", 5, {"0123456789"}, "earlier\r\n", "0123456789\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Open(c.Bound);
    for (const std::string& line : c.Lines) File.WriteLine(line);
    File.Close();
    EXPECT_EQ(ReadFileBytes(OldPath), c.Old);
    EXPECT_EQ(ReadFileBytes(Path), c.Current);
  }
}

// A folder in the old file's place refuses the move on every system, as an
// editor holding the old file does on Windows: the full file is emptied and
// the copy goes on.
TEST_F(TextFileRotation, OldFileThatCannotBeReplacedEmptiesTheFileInstead) {
  std::filesystem::create_directory(OldPath);
  WriteFileBytes(OldPath + "/kept.txt", "kept");
  File.SetRotation(OldPath, 20);
  File.Rewrite(Path);
  File.WriteLine("first line 12345");
  EXPECT_NO_THROW(File.WriteLine("second line"));
  File.Close();
  EXPECT_EQ(ReadFileBytes(Path), "second line\r\n");
  EXPECT_EQ(ReadFileBytes(OldPath + "/kept.txt"), "kept");
}

// The receive thread and the pong's line both write: a move aside between
// their lines splits none of them.
TEST_F(TextFileRotation, LinesFromTwoThreadsStayWholeAcrossMoves) {
  const uint64_t kBound = 4096;
  Open(kBound);
  auto writer = [this](char c) {
    for (int i = 0; i < 400; ++i) File.WriteLine(std::string(37, c) + std::to_string(i));
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  File.Close();
  for (const std::string& path : {OldPath, Path}) {
    const std::string bytes = ReadFileBytes(path);
    EXPECT_LE(bytes.size(), kBound);
    std::istringstream lines(bytes);
    std::string line;
    while (std::getline(lines, line)) {
      ASSERT_GE(line.size(), 39u) << line;
      ASSERT_EQ(line.substr(0, 37), std::string(37, line[0])) << line;
      ASSERT_EQ(line.back(), '\r') << line;
    }
  }
}

}  // namespace

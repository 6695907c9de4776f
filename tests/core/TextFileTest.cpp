// The response file: created or emptied, CR LF after every line, written through
// a 128-byte buffer, emptied to disk on Close.
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

}  // namespace

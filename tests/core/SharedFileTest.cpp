// Reading the game server's log while the server keeps writing it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/SharedFile.h"
#include "support/TempDir.h"

namespace {

std::string ReadAt(TSharedReadFile& file, int64_t position, size_t count) {
  file.Seek(position);
  std::string bytes(count, '\0');
  size_t n = file.Read(&bytes[0], count);
  bytes.resize(n);
  return bytes;
}

TEST(SharedFile, ReadsWhatAnotherHandleKeepsAppending) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  // The server's handle stays open for writing the whole time.
  std::ofstream server(path, std::ios::binary | std::ios::app);
  server << "Server: started\r\n" << std::flush;
  TSharedReadFile log;
  log.Open(path);
  EXPECT_TRUE(log.IsOpen());
  EXPECT_EQ(log.Size(), 17);
  EXPECT_EQ(ReadAt(log, 0, 100), "Server: started\r\n");
  server << "Server: SYNC: 2way:\r\n" << std::flush;
  EXPECT_EQ(log.Size(), 38);
  EXPECT_EQ(ReadAt(log, 17, 100), "Server: SYNC: 2way:\r\n");
  EXPECT_EQ(ReadAt(log, 38, 100), "");
  log.Close();
  EXPECT_FALSE(log.IsOpen());
}

TEST(SharedFile, ServerCanOpenItsLogWhileWeReadIt) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  WriteFileBytes(path, "one\r\n");
  TSharedReadFile log;
  log.Open(path);
  AppendFileBytes(path, "two\r\n");
  EXPECT_EQ(log.Size(), 10);
  EXPECT_EQ(ReadAt(log, 5, 5), "two\r\n");
}

// The game server re-creates its log on restart; the reader sees it shrink.
TEST(SharedFile, ServerCanRecreateItsLogWhileWeReadIt) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  WriteFileBytes(path, std::string(500, 'o'));
  TSharedReadFile log;
  log.Open(path);
  EXPECT_EQ(log.Size(), 500);
  WriteFileBytes(path, "fresh\r\n");
  EXPECT_EQ(log.Size(), 7);
  EXPECT_EQ(ReadAt(log, 0, 100), "fresh\r\n");
}

TEST(SharedFile, ReadsInPiecesFromTheReadPosition) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  WriteFileBytes(path, "abcdefghij");
  TSharedReadFile log;
  log.Open(path);
  log.Seek(2);
  char piece[3];
  ASSERT_EQ(log.Read(piece, 3), 3u);
  EXPECT_EQ(std::string(piece, 3), "cde");
  ASSERT_EQ(log.Read(piece, 3), 3u);
  EXPECT_EQ(std::string(piece, 3), "fgh");
  EXPECT_EQ(ReadAt(log, 50, 3), "");
}

TEST(SharedFile, OpenAgainReadsTheOtherFile) {
  TTempDir dir;
  WriteFileBytes(dir.File("a.log"), "aaa");
  WriteFileBytes(dir.File("b.log"), "bbbbb");
  TSharedReadFile log;
  log.Open(dir.File("a.log"));
  log.Open(dir.File("b.log"));
  EXPECT_EQ(log.Size(), 5);
}

// A log left running for months grows past 2 GiB (a sparse file here).
TEST(SharedFile, PositionsPastTwoGibibytes) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  const int64_t far = (int64_t{3} << 30) + 5;
  {
    std::ofstream out(path, std::ios::binary);
    out.seekp(far);
    out << "late line\r\n";
    ASSERT_TRUE(out.good());
  }
  TSharedReadFile log;
  log.Open(path);
  EXPECT_EQ(log.Size(), far + 11);
  EXPECT_EQ(ReadAt(log, far, 100), "late line\r\n");
}

TEST(SharedFile, MissingFileIsNotOpened) {
  TTempDir dir;
  TSharedReadFile log;
  EXPECT_THROW(log.Open(dir.File("none.log")), EFileError);
  EXPECT_FALSE(log.IsOpen());
}

TEST(SharedFile, DirectoryIsNotOpened) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("server.log"));
  TSharedReadFile log;
  try {
    log.Open(dir.File("server.log"));
    FAIL() << "opened a directory";
  } catch (const EFileError& e) {
    EXPECT_STRNE(e.what(), "");
  }
  EXPECT_FALSE(log.IsOpen());
}

TEST(SharedFile, OnlyARegularFileExists) {
  TTempDir dir;
  WriteFileBytes(dir.File("server.log"), "");
  std::filesystem::create_directory(dir.File("Brennak.ini"));
  EXPECT_TRUE(FileExists(dir.File("server.log")));
  EXPECT_FALSE(FileExists(dir.File("Brennak.ini")));
  EXPECT_FALSE(FileExists(dir.File("none.log")));
  EXPECT_FALSE(FileExists(dir.File("none/server.log")));
}

}  // namespace

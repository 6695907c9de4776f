// Where the log path names something other than a file, the watcher's open
// must fail at once rather than wait.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <future>

#include "platform/SharedFile.h"
#include "support/TempDir.h"

TEST(SharedFilePosix, PipeInPlaceOfTheLogIsRefusedWithoutWaiting) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  TSharedReadFile log;
  auto opened = std::async(std::launch::async, [&] {
    try {
      log.Open(path);
      return std::string("opened");
    } catch (const EFileError& e) {
      return std::string(e.what());
    }
  });
  if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the blocked open so that the test can end.
    int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    opened.wait();
    if (writer >= 0) ::close(writer);
    FAIL() << "the open waited for a writer";
  }
  EXPECT_NE(opened.get(), "opened");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_FALSE(FileExists(path));
}

TEST(SharedFilePosix, OpenedLogReadsWithoutNonBlockingSurprises) {
  TTempDir dir;
  std::string path = dir.File("server.log");
  WriteFileBytes(path, "line\r\n");
  TSharedReadFile log;
  log.Open(path);
  char buffer[16];
  EXPECT_EQ(log.Read(buffer, sizeof buffer), 6u);
  EXPECT_EQ(log.Read(buffer, sizeof buffer), 0u);
}

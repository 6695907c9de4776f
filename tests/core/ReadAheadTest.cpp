#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "monitor/PassReading.h"
#include "monitor/ReadAhead.h"
#include "support/WatcherDescribe.h"
#include "support/WatcherFakes.h"

namespace {

// A log in memory whose reads after the first FailAfter fail.
class TFailingLogFile : public TMemoryLogFile {
 public:
  size_t Read(void* buffer, size_t count) override {
    if (++Reads > FailAfter) throw EFileError("The device is not ready");
    return TMemoryLogFile::Read(buffer, count);
  }
  std::atomic<int> Reads{0};
  int FailAfter = 1 << 30;
};

std::string History(int rounds) {
  std::string log;
  for (int i = 0; i < rounds; ++i)
    log += "Server: User Connected: P" + std::to_string(i) + " (" + std::to_string(i % 8) +
           ") @ 10.0.0." + std::to_string(i % 250) + ":2300\r\nnet: ok\r\n";
  return log;
}

TEST(ReadAhead, StopsReadingWhenTheCallerEndsEarly) {
  TFailingLogFile file;
  file.Bytes = History(2000);
  {
    TLogReader reader(file, 64);
    TReadAhead ahead(reader);
    ASSERT_FALSE(ahead.Next().Last);
  }
  // The buffers read ahead of the one handed over, nothing more.
  EXPECT_LE(file.Reads, TLogReader::kMaxBuffers);
}

// A read that fails part-way through a long pass ends it with the error, the
// lines of the buffers before it applied and counted as without reading ahead,
// and no line of the failed buffer or after it.
TEST(ReadAhead, FailedReadLeavesWhatTheBuffersBeforeItDid) {
  for (int failAfter : {0, 1, 7, 40}) {
    std::string board[2];
    int64_t offset[2];
    for (int ahead = 0; ahead < 2; ++ahead) {
      TFailingLogFile file;
      file.Bytes = History(400);
      file.FailAfter = failAfter;
      TSession session;
      TRaceBoard raceBoard;
      TPassCaption caption;
      TLogReader reader(file, 128);
      auto read = ahead ? ReadNewLinesAhead : ReadNewLines;
      EXPECT_THROW(read(reader, session, raceBoard, caption), EFileError) << failAfter;
      board[ahead] = DescribeBoard(raceBoard);
      offset[ahead] = session.ReadOffset;
    }
    EXPECT_EQ(board[1], board[0]) << failAfter;
    EXPECT_EQ(offset[1], offset[0]) << failAfter;
    if (failAfter == 40) {
      EXPECT_GT(offset[1], 0);
    }
  }
}

}  // namespace

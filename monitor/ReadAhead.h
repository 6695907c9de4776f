#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "monitor/LogReader.h"

// What one buffer of the log gave: its rule lines in order, and the bytes of
// every line taken or passed over.
struct TRuleBatch {
  std::vector<TRuleLine> Lines;
  int64_t Consumed = 0;
  // No batch follows: the end of the file was reached, or the read failed.
  bool Last = false;
  // The error that ended the reading; the lines taken before it are kept.
  std::exception_ptr Error;
};

// Reads the log and cuts it into rule lines on a thread of its own, a few
// buffers ahead of the caller, who applies the lines of the earlier buffers
// meanwhile. The reading and cutting depend on the bytes alone, so they may run
// ahead; what the lines do stays on the caller's thread, in their order.
//
// The reader is used by the thread alone until this object is gone, and reads
// into kBatches buffers in turn: a batch's lines point into the buffer it was
// read into, which is not read into again before the caller has asked for the
// batch after it. Eight buffers of 256 KiB measured best: with two, the threads
// wait on each other at every hiccup, and a buffer comes back while the other
// processor still holds its bytes in its cache.
class TReadAhead {
 public:
  explicit TReadAhead(TLogReader& reader);
  // Stops the thread after the buffer it is reading, and waits for it.
  ~TReadAhead();
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  // Waits for the next batch and gives the previous one back. The batch stays
  // valid until the next call; none may follow one that is Last.
  const TRuleBatch& Next();

 private:
  void Run();
  void Cut(TRuleBatch& batch);

  TLogReader& Reader_;
  // Batch n is read into buffer n % kBatches and made in Batches_[n % kBatches]:
  // the reading thread may be up to kBatches - 1 batches ahead.
  static constexpr int kBatches = TLogReader::kMaxBuffers;
  TRuleBatch Batches_[kBatches];
  std::mutex Lock_;
  std::condition_variable Changed_;
  std::atomic<uint64_t> Made_{0};   // batches handed over; changed under Lock_
  std::atomic<uint64_t> Asked_{0};  // calls of Next; changed under Lock_
  // Guarded by Lock_: while the reading thread sleeps, the count of calls of
  // Next that wakes it; 0 while it does not.
  uint64_t ReaderWakesAt_ = 0;
  bool Stop_ = false;   // guarded by Lock_
  std::thread Thread_;  // last: it starts when the rest is ready
};

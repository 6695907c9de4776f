#include "monitor/ReadAhead.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TReadAhead::TReadAhead(TLogReader& reader) : Reader_(reader) {
  Reader_.UseBuffers(kBatches);
  Thread_ = std::thread([this] { Run(); });
}

TReadAhead::~TReadAhead() {
  {
    std::lock_guard<std::mutex> lock(Lock_);
    Stop_ = true;
  }
  Changed_.notify_all();
  Thread_.join();
}

namespace {

void Pause() {
#if defined(__SSE2__)
  _mm_pause();
#endif
}

}  // namespace

// A buffer changes hands every few hundred microseconds, and waking a thread
// that sleeps on the condition costs tens of microseconds on a virtual machine
// (more under Wine). So the caller, waiting for a batch, first looks for it for
// a while without sleeping; and the reading thread, once it is as far ahead as
// the buffers allow, sleeps until half of them are given back, and is woken
// only then.
const TRuleBatch& TReadAhead::Next() {
  constexpr int kLooks = 4000;
  std::unique_lock<std::mutex> lock(Lock_);
  uint64_t asked = ++Asked_;
  if (ReaderWakesAt_ != 0 && asked >= ReaderWakesAt_) Changed_.notify_all();
  lock.unlock();
  for (int i = 0; i < kLooks && Made_ < asked; ++i) Pause();
  lock.lock();
  Changed_.wait(lock, [&] { return Made_ >= asked; });
  return Batches_[(asked - 1) % kBatches];
}

void TReadAhead::Run() {
  for (uint64_t n = 0;; ++n) {
    {
      // Batch n reuses the buffer of batch n - kBatches, which the caller gives
      // back by asking for the batch after it.
      std::unique_lock<std::mutex> lock(Lock_);
      if (n >= kBatches && Asked_ + kBatches < n + 2) {
        ReaderWakesAt_ = n + 2 + kBatches / 2 - kBatches;
        Changed_.wait(lock, [&] { return Stop_ || Asked_ >= ReaderWakesAt_; });
        ReaderWakesAt_ = 0;
      }
      if (Stop_) return;
    }
    TRuleBatch& batch = Batches_[n % kBatches];
    Cut(batch);
    {
      std::lock_guard<std::mutex> lock(Lock_);
      ++Made_;
    }
    Changed_.notify_all();
    if (batch.Last) return;
  }
}

void TReadAhead::Cut(TRuleBatch& batch) {
  batch.Lines.clear();
  batch.Consumed = 0;
  try {
    size_t read = Reader_.Fill();
    TRuleLine line;
    while (Reader_.TakeRuleLine(line, batch.Consumed)) batch.Lines.push_back(line);
    batch.Last = read == 0 && Reader_.Drained();
  } catch (...) {
    batch.Error = std::current_exception();
    batch.Last = true;
  }
}

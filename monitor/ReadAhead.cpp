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

// The two threads hand a buffer over every few hundred microseconds. Waking a
// thread that sleeps on the condition costs tens of microseconds on a virtual
// machine, so the waiter first looks for a while without sleeping.
template <typename TReady>
void TReadAhead::WaitUntil(std::unique_lock<std::mutex>& lock, TReady ready) {
  constexpr int kLooks = 4000;
  lock.unlock();
  for (int i = 0; i < kLooks && !ready(); ++i) Pause();
  lock.lock();
  Changed_.wait(lock, ready);
}

const TRuleBatch& TReadAhead::Next() {
  std::unique_lock<std::mutex> lock(Lock_);
  uint64_t asked = ++Asked_;
  Changed_.notify_all();
  WaitUntil(lock, [&] { return Made_ >= asked; });
  return Batches_[(asked - 1) % kBatches];
}

void TReadAhead::Run() {
  for (uint64_t n = 0;; ++n) {
    {
      // Batch n reuses the buffer of batch n - kBatches, which the caller gives
      // back by asking for the batch after it.
      std::unique_lock<std::mutex> lock(Lock_);
      WaitUntil(lock, [&] { return Stop_ || n < kBatches || Asked_ + kBatches >= n + 2; });
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
    std::string_view line;
    unsigned words = 0;
    while (Reader_.TakeRuleLine(line, words, batch.Consumed)) batch.Lines.push_back({line, words});
    batch.Last = read == 0 && Reader_.Drained();
  } catch (...) {
    batch.Error = std::current_exception();
    batch.Last = true;
  }
}

#include "monitor/ReadAhead.h"

#include <chrono>

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

// Looks for done() without sleeping for about two milliseconds. A buffer
// changes hands every hundred microseconds or so, and a thread that sleeps on
// a condition is woken through the system: tens of microseconds on a virtual
// machine, and under Wine a round trip to its server for each wait and each
// wake (which, with both processors busy with the pass, waits for one of them).
// Sleeping only when the other side has stalled keeps those off the pass.
template <class TDone>
bool LookFor(TDone done) {
  using TClock = std::chrono::steady_clock;
  const TClock::time_point until = TClock::now() + std::chrono::milliseconds(2);
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (done()) return true;
      Pause();
    }
    if (TClock::now() >= until) return false;
  }
}

}  // namespace

// The caller, waiting for a batch, looks for it for a while before it sleeps;
// the reading thread, once it is as far ahead as the buffers allow, does the
// same for a buffer to come back, and if none does it sleeps until half of
// them are given back and is woken only then.
const TRuleBatch& TReadAhead::Next() {
  std::unique_lock<std::mutex> lock(Lock_);
  uint64_t asked = ++Asked_;
  if (ReaderWakesAt_ != 0 && asked >= ReaderWakesAt_) Changed_.notify_all();
  lock.unlock();
  if (!LookFor([&] { return Made_ >= asked; })) {
    lock.lock();
    Changed_.wait(lock, [&] { return Made_ >= asked; });
  }
  return Batches_[(asked - 1) % kBatches];
}

void TReadAhead::Run() {
  for (uint64_t n = 0;; ++n) {
    // Batch n reuses the buffer of batch n - kBatches, which the caller gives
    // back by asking for the batch after it.
    auto bufferFree = [&] { return n < kBatches || Asked_ + kBatches >= n + 2; };
    if (!bufferFree() && !LookFor(bufferFree)) {
      std::unique_lock<std::mutex> lock(Lock_);
      if (!bufferFree()) {
        ReaderWakesAt_ = n + 2 + kBatches / 2 - kBatches;
        Changed_.wait(lock, [&] { return Stop_ || Asked_ >= ReaderWakesAt_; });
        ReaderWakesAt_ = 0;
      }
    }
    {
      std::lock_guard<std::mutex> lock(Lock_);
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
  bool taking = false;
  // Counted here and stored once: the batches lie side by side, and the caller
  // reads the one beside this.
  int64_t consumed = 0;
  try {
    size_t read = Reader_.Fill();
    // Each line is taken straight into its place: a line taken into a local and
    // copied in whole is read back before its fields, just written one by one,
    // have left the processor's store buffer, and that read waits for them.
    for (;;) {
      batch.Lines.emplace_back();
      taking = true;
      bool taken = Reader_.TakeRuleLine(batch.Lines.back(), consumed);
      taking = false;
      if (!taken) break;
    }
    batch.Lines.pop_back();
    batch.Consumed = consumed;
    batch.Last = read == 0 && Reader_.Drained();
  } catch (...) {
    if (taking) batch.Lines.pop_back();  // the line being taken is no line
    batch.Consumed = consumed;
    batch.Error = std::current_exception();
    batch.Last = true;
  }
}

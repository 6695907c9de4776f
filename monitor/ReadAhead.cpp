#include "monitor/ReadAhead.h"

TReadAhead::TReadAhead(TLogReader& reader) : Reader_(reader) {
  Reader_.UseTwoBuffers();
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

const TRuleBatch& TReadAhead::Next() {
  std::unique_lock<std::mutex> lock(Lock_);
  ++Asked_;
  Changed_.notify_all();
  Changed_.wait(lock, [this] { return Made_ >= Asked_; });
  return Batches_[(Asked_ - 1) % 2];
}

void TReadAhead::Run() {
  for (uint64_t n = 0;; ++n) {
    {
      // Batch n reuses the buffer of batch n - 2, which the caller gives back by
      // asking for batch n - 1.
      std::unique_lock<std::mutex> lock(Lock_);
      Changed_.wait(lock, [&] { return Stop_ || n < 2 || Asked_ >= n; });
      if (Stop_) return;
    }
    TRuleBatch& batch = Batches_[n % 2];
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

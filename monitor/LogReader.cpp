#include "monitor/LogReader.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr char kCr = '\r';
}

TLogReader::TLogReader(TLogFile& file, size_t bufferBytes, size_t maxLineBytes)
    : File_(file),
      MaxLineBytes_(maxLineBytes),
      Capacity_(std::max<size_t>(bufferBytes, 2)),
      // Left uninitialised: only bytes read from the file are ever looked at.
      Storage_{std::unique_ptr<char[]>(new char[Capacity_])},
      CrMarks_(Capacity_ / 64 + 1) {}

void TLogReader::UseBuffers(int count) {
  for (; Buffers_ < count && Buffers_ < kMaxBuffers; ++Buffers_)
    Storage_[Buffers_].reset(new char[Capacity_]);
}

size_t TLogReader::BufferFor(int64_t bytes) {
  constexpr size_t kSmallest = 4096;
  if (bytes >= static_cast<int64_t>(kBufferBytes)) return kBufferBytes;
  return std::max(kSmallest, static_cast<size_t>(bytes) + 64);
}

int64_t TLogReader::ReadLogLine(std::string& line) {
  for (;;) {
    std::string_view taken;
    int64_t count = 0;
    if (TakeLine(taken, count)) {
      line.assign(taken);
      return count;
    }
    if (Fill() == 0 && Drained()) {
      line.clear();
      return 0;
    }
  }
}

size_t TLogReader::Fill() {
  if (Buffers_ > 1) {
    // The lines taken from the buffer being left stay where they are.
    int next = (Current_ + 1) % Buffers_;
    std::memcpy(Storage_[next].get(), Buffer() + Begin_, End_ - Begin_);
    Current_ = next;
    End_ -= Begin_;
    Begin_ = 0;
  } else if (Begin_ > 0) {
    std::memmove(Buffer(), Buffer() + Begin_, End_ - Begin_);
    End_ -= Begin_;
    Begin_ = 0;
  }
  if (End_ == Capacity_) {
    // One line fills the whole buffer. A CR as its last byte must stay: whether
    // it ends the line depends on the byte after it.
    Spill(Buffer()[End_ - 1] == kCr ? End_ - 1 : End_);
  }
  size_t n = File_.Read(Buffer() + End_, Capacity_ - End_);
  End_ += n;
  AtEnd_ = n == 0;
  Marked_ = Scanner_.Scan(Buffer(), Buffer() + End_, Hits_, CrMarks_.data());
  NextHit_ = 0;
  return n;
}

void TLogReader::Spill(size_t bytes) {
  size_t keep = std::min(bytes, MaxLineBytes_ - std::min(MaxLineBytes_, SpilledText_.size()));
  SpilledText_.append(Buffer(), keep);
  SpilledCount_ += static_cast<int64_t>(bytes);
  Spilled_ = true;
  std::memmove(Buffer(), Buffer() + bytes, End_ - bytes);
  End_ -= bytes;
}

// Ends the line at end (exclusive) and goes on at next.
inline void TLogReader::Cut(std::string_view& line, size_t end, size_t next, int64_t& count) {
  const char* text = Buffer() + Begin_;
  size_t length = end - Begin_;
  if (Spilled_) {
    SpilledText_.append(
        text, std::min(length, MaxLineBytes_ - std::min(MaxLineBytes_, SpilledText_.size())));
    std::string& longLine = LongLines_[Current_];
    longLine.swap(SpilledText_);
    SpilledText_.clear();
    line = longLine;
    count = SpilledCount_ + static_cast<int64_t>(next - Begin_);
    SpilledCount_ = 0;
    Spilled_ = false;
  } else {
    line = std::string_view(text, std::min(length, MaxLineBytes_));
    count = static_cast<int64_t>(next - Begin_);
  }
  Begin_ = next;
}

// The first CR at or after from, or End_: from the marks the trigger-word
// search left where it could, past them eight bytes at a time (log lines are
// short: that finds the end of most of them before a library call would have
// started).
size_t TLogReader::FindCr(size_t from) const {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  constexpr uint64_t kCrs = kOnes * static_cast<unsigned char>(kCr);
  const char* base = Buffer();
  size_t at = from;
  if (at < Marked_) {
    size_t word = at / 64;
    uint64_t bits = CrMarks_[word] & (~0ull << (at % 64));
    for (;;) {
      if (bits != 0) return word * 64 + static_cast<size_t>(__builtin_ctzll(bits));
      if (++word == Marked_ / 64) break;
      bits = CrMarks_[word];
    }
    at = Marked_;
  }
  for (; at + 8 <= End_; at += 8) {
    uint64_t bytes;
    std::memcpy(&bytes, base + at, sizeof bytes);
    uint64_t x = bytes ^ kCrs;  // a CR became a zero byte
    // The lowest flag marks the first zero byte exactly; flags above it may not.
    uint64_t zeros = (x - kOnes) & ~x & kHighs;
    if (zeros == 0) continue;
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The lowest flag alone, moved down to bit 0 of its byte, times a constant
    // whose top byte then reads that byte's index.
    uint64_t lowest = (zeros & (0 - zeros)) >> 7;
    return at + static_cast<size_t>((lowest * 0x0001020304050607ull) >> 56);
#else
    break;
#endif
  }
  for (; at < End_; ++at)
    if (base[at] == kCr) return at;
  return End_;
}

bool TLogReader::TakeLine(std::string_view& line, int64_t& count) {
  const char* base = Buffer();
  const void* cr = std::memchr(base + Begin_, kCr, End_ - Begin_);
  if (cr != nullptr) {
    size_t at = static_cast<size_t>(static_cast<const char*>(cr) - base);
    if (at + 1 < End_) {
      Cut(line, at, at + 2, count);
      return true;
    }
    if (!AtEnd_) return false;
    Cut(line, End_, End_, count);
    return true;
  }
  if (!AtEnd_ || (Begin_ == End_ && !Spilled_)) return false;
  Cut(line, End_, End_, count);
  return true;
}

// The start of the line that holds the byte at, given that from starts a line
// and from <= at. When at is the byte dropped after a CR, the start of the line
// after it (at + 1).
size_t TLogReader::LineStartOf(size_t from, size_t at) const {
  const char* base = Buffer();
  // Most words open their line, right after a CR LF that follows no CR.
  if (at >= from + 2 && base[at - 1] != kCr && base[at - 2] == kCr &&
      (at - 2 == from || base[at - 3] != kCr))
    return at;
  size_t past = at;
  while (past > from && past > Marked_ && base[past - 1] != kCr) --past;
  if (past > from && base[past - 1] != kCr) {
    // The last CR before past from the marks, or none from the line at from on.
    size_t word = (past - 1) / 64;
    uint64_t bits = CrMarks_[word] & (~0ull >> (63 - (past - 1) % 64));
    while (bits == 0 && word > from / 64) bits = CrMarks_[--word];
    past = bits == 0 ? from : word * 64 + 64 - static_cast<size_t>(__builtin_clzll(bits));
    if (past < from) past = from;
  }
  if (past == from) return from;
  size_t cr = past - 1;
  // In a run of CRs the first ends a line, the second is dropped, the third ends
  // a line again, and so on.
  size_t run = cr;
  while (run > from && base[run - 1] == kCr) --run;
  if ((cr - run) % 2 == 1) --cr;
  return cr + 2;
}

// How far the buffered lines are complete: the start of the first line that
// more bytes (or the end of the file) could still change.
size_t TLogReader::SettledEnd() const {
  if (AtEnd_) return End_;
  if (End_ == Begin_) return Begin_;
  return LineStartOf(Begin_, End_ - 1);
}

bool TLogReader::TakeRuleLine(TRuleLine& line, int64_t& consumed) {
  line.OneWordOpens = false;
  for (;;) {
    if (Spilled_) {
      int64_t count = 0;
      if (!TakeLine(line.Text, count)) return false;
      consumed += count;
      line.Words = Scanner_.WordsIn(line.Text.data(), line.Text.data() + line.Text.size());
      return true;
    }
    while (NextHit_ < Hits_.size() && Hits_[NextHit_].Position < Begin_) ++NextHit_;
    if (NextHit_ == Hits_.size()) {
      size_t settled = SettledEnd();
      consumed += static_cast<int64_t>(settled - Begin_);
      Begin_ = settled;
      return false;
    }
    size_t hit = Hits_[NextHit_].Position;
    size_t start = LineStartOf(Begin_, hit);
    consumed += static_cast<int64_t>(start - Begin_);
    Begin_ = start;
    if (start > hit) continue;  // the word began with a dropped byte
    // No CR lies between the line's start and the word, nor inside the word,
    // which is at least kShortestWord bytes long.
    size_t end = FindCr(hit + kShortestWord);
    size_t next = end + 2;
    if (end == End_ || end + 1 == End_) {
      if (!AtEnd_) return false;
      end = next = End_;
    }
    // The line is put together here and stored once: the caller's line may be
    // fresh memory that the other thread read last, and bits or-ed into it one
    // by one would each wait for it.
    size_t h = NextHit_;
    unsigned words = 0;
    for (; h < Hits_.size() && Hits_[h].Position < end; ++h) words |= Hits_[h].Word;
    bool whole = end - Begin_ <= MaxLineBytes_;
    std::string_view text;
    int64_t count = 0;
    Cut(text, end, next, count);
    consumed += count;
    if (!whole) words = Scanner_.WordsIn(text.data(), text.data() + text.size());
    line.Text = text;
    line.Words = words;
    line.OneWordOpens = whole && hit == start && h == NextHit_ + 1;
    return true;
  }
}

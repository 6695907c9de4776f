#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/LogFile.h"
#include "monitor/TriggerWords.h"

// Cuts the game server's log into lines, reading it through a buffer.
//
// A line ends at a CR; the byte after the CR (the LF of the CR LF pair) is
// dropped whatever it is. At the end of the file a line ends without a CR, and a
// CR that is the file's last byte stays in the line. An LF alone ends nothing.
// Every line reports how many bytes it consumed, so that the caller's offset in
// the log always equals the bytes consumed, line by line.
//
// The reader never keeps more than kMaxLineBytes of one line: a log without CR
// line ends is one endless line, and the controller must not grow with it. The
// bytes past that mark are consumed and counted but not kept.
class TLogReader {
 public:
  static constexpr size_t kBufferBytes = 256 * 1024;
  static constexpr size_t kMaxLineBytes = 1024 * 1024;

  // Reads file from its current read position. Tests shrink the buffer and the
  // longest line kept to reach their edges with small inputs.
  explicit TLogReader(TLogFile& file, size_t bufferBytes = kBufferBytes,
                      size_t maxLineBytes = kMaxLineBytes);

  // The buffer size for a pass that has bytes new bytes to read: a pass over a
  // few new lines needs no large buffer (a line longer than the buffer is read
  // whole all the same).
  static size_t BufferFor(int64_t bytes);

  // The most buffers that UseBuffers gives.
  static constexpr int kMaxBuffers = 8;
  // From now on every Fill reads into the next of count buffers in turn, so
  // that the lines taken after one Fill stay valid through the count - 1 Fills
  // after it (and their takes): a second thread may still apply them while this
  // one reads on.
  void UseBuffers(int count);

  // The next line, reading the file as needed; returns the bytes consumed, 0 at
  // the end of the file (line is then empty).
  int64_t ReadLogLine(std::string& line);

  // The pieces of ReadLogLine, for callers that must not touch the file while
  // they hold a lock: Fill reads (and returns 0 at the end of the file), the
  // Take calls only cut what is buffered. A line taken is a view that stays
  // valid until the next call on the reader.
  size_t Fill();
  // True when the last Fill found the end of the file and every byte before it
  // has been taken.
  bool Drained() const { return AtEnd_ && Begin_ == End_ && !Spilled_; }
  // Takes the next line when the buffered bytes settle it; count gets the bytes
  // it consumed. False when more must be read first.
  bool TakeLine(std::string_view& line, int64_t& count);
  // Like TakeLine, but first passes over the lines that hold no trigger word
  // (no rule can fire on them). consumed grows by the bytes of every line passed
  // over or taken, also when no line is returned; the line taken gets exactly
  // the trigger words it holds.
  bool TakeRuleLine(TRuleLine& line, int64_t& consumed);

 private:
  size_t FindCr(size_t from) const;
  size_t LineStartOf(size_t from, size_t at) const;
  size_t SettledEnd() const;
  void Spill(size_t bytes);
  void Cut(std::string_view& line, size_t end, size_t next, int64_t& count);
  char* Buffer() const { return Storage_[Current_].get(); }

  TLogFile& File_;
  const size_t MaxLineBytes_;
  const size_t Capacity_;
  std::unique_ptr<char[]> Storage_[kMaxBuffers];  // the first only, without UseBuffers
  int Buffers_ = 1;
  int Current_ = 0;   // the buffer of the last Fill
  size_t Begin_ = 0;  // first byte not yet taken; always the start of a line
  size_t End_ = 0;    // end of the buffered bytes
  bool AtEnd_ = false;
  // A line longer than the buffer: its first bytes moved out of the buffer.
  bool Spilled_ = false;
  std::string SpilledText_;
  int64_t SpilledCount_ = 0;
  // The last line taken from each buffer that had spilled.
  std::string LongLines_[kMaxBuffers];
  TTriggerScanner Scanner_;
  std::vector<TWordHit> Hits_;  // trigger words in [Begin_, End_) at the last Fill
  // The CRs of the buffer's first Marked_ bytes at the last Fill, a bit each.
  std::vector<uint64_t> CrMarks_;
  size_t Marked_ = 0;
  size_t NextHit_ = 0;
};

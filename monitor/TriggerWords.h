#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The words that decide which line rules can fire on a log line. Every rule's
// trigger contains one of them, and the rules only ever shorten a line, so a line
// that holds none of these words is one on which no rule fires: the watcher can
// pass over it without looking further.
enum TTriggerWord : unsigned {
  kWordSync = 1u << 0,           // "Server: SYNC: 2way:"             a race starts
  kWordSingleton = 1u << 1,      // "Server: Singleton player reset."  the race is over
  kWordCreated = 1u << 2,        // "created, running..."             the server names itself
  kWordChanging = 1u << 3,       // "chat: Changing "                 the seven settings
  kWordUser = 1u << 4,           // "Server: User"                    a player joins or leaves
  kWordDisconnecting = 1u << 5,  // "Server: Disconnecting"           a player is dropped
  kWordLatency = 1u << 6,        // "latency for"                     a latency report
};
inline constexpr unsigned kAllTriggerWords = (1u << 7) - 1;

// Where a trigger word starts in a buffer, and which word it is.
struct TWordHit {
  uint32_t Position;
  unsigned Word;
};

// Finds every trigger word in a block of the log, moving over text that holds
// none of them several bytes at a time: it looks at the last two bytes of an
// 11-byte window (the length of the shortest word) and moves the window as far
// as those two bytes allow. Four parts of the block are scanned side by side so
// that the processor works on four windows at once.
class TTriggerScanner {
 public:
  TTriggerScanner();
  // Replaces hits with the words lying wholly within [begin, end), in the order
  // of their positions (counted from begin).
  void Scan(const char* begin, const char* end, std::vector<TWordHit>& hits);
  // The words that lie wholly within [begin, end), one bit each.
  unsigned WordsIn(const char* begin, const char* end);

 private:
  static constexpr int kWindow = 11;
  static constexpr unsigned kTableSize = 4096;
  static constexpr int kLanes = 4;
  static constexpr size_t kQueue = 256;  // a power of two

  static constexpr int kWordTotal = 7;

  static unsigned Hash(const char* windowEnd);
  static uint64_t Load8(const char* at);
  void ScanLane(const char* begin, const char* end, const char* from, const char* to,
                std::vector<TWordHit>& hits) const;
  void Verify(const char* begin, const char* end, const char* windowEnd,
              std::vector<TWordHit>& hits) const;

  // How far the window may move when its last two bytes hash to the index.
  uint8_t Shift_[kTableSize];
  // Words whose window ends in two bytes of that hash.
  uint8_t Ends_[kTableSize];
  // The first and the last eight bytes of each word.
  uint64_t Heads_[kWordTotal];
  uint64_t Tails_[kWordTotal];
  std::vector<TWordHit> LaneHits_[kLanes];
  std::vector<TWordHit> Scratch_;
  const char* Queue_[kLanes][kQueue];
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
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
// The length of the shortest word, "latency for".
inline constexpr size_t kShortestWord = 11;

// A line that holds trigger words, and exactly the words it holds.
struct TRuleLine {
  std::string_view Text;
  unsigned Words = 0;
  // The line holds one trigger word only, once, and opens with it: the rules
  // then know where every trigger in it stands without looking.
  bool OneWordOpens = false;
};

// Where a trigger word starts in a buffer, and which word it is.
struct TWordHit {
  uint32_t Position;
  unsigned Word;
};

// The widest vector instructions that a scanner may use; it uses the widest of
// them that the processor has. Every width finds the same words: tests narrow
// it to try each way on one processor.
enum class TScanWidth { Widest, Avx2, Sse2 };

// Finds every trigger word in a block of the log. The seven words begin with
// one of three bytes and, six bytes on, have one of four bytes that seldom
// stand there in other text ("Server: " has its colon there, "chat: C" its
// capital): a position is looked at only when both bytes fit, and these two
// tests are made for sixteen to thirty-two positions at once where the
// processor can (eight at once elsewhere). With 64-byte vectors the ninth byte
// is tested as well, for sixty-four positions at once.
class TTriggerScanner {
 public:
  explicit TTriggerScanner(TScanWidth widest = TScanWidth::Widest);
  // Replaces hits with the words lying wholly within [begin, end), in the order
  // of their positions (counted from begin). When crs is given (room for one
  // word per 64 bytes of the block, and one more), the line ends are marked on
  // the way, bit i of crs[k] for a CR at position 64 k + i; returns how many
  // bytes from begin were marked so (none where the processor's vector
  // instructions are not used).
  size_t Scan(const char* begin, const char* end, std::vector<TWordHit>& hits,
              uint64_t* crs = nullptr);
  // The words that lie wholly within [begin, end), one bit each.
  unsigned WordsIn(const char* begin, const char* end);

 private:
  // Marks the candidates and the CRs of a run of 64-byte groups.
  using TMarkGroups = void (*)(const char* at, size_t groups, uint64_t* candidates, uint64_t* crs);
  TMarkGroups MarkGroups_ = nullptr;
  static constexpr size_t kQueue = 1024;
  // Where words may start, counted from the beginning of the block.
  uint32_t Queue_[kQueue];
  std::vector<TWordHit> Scratch_;
};

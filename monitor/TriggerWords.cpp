#include "monitor/TriggerWords.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

struct TWordEntry {
  const char* Text;
  size_t Length;
  unsigned Bit;
};

constexpr TWordEntry kWords[] = {
    {"Server: SYNC: 2way:", 19, kWordSync},
    {"Server: Singleton player reset.", 31, kWordSingleton},
    {"created, running...", 19, kWordCreated},
    {"chat: Changing ", 15, kWordChanging},
    {"Server: User", 12, kWordUser},
    {"Server: Disconnecting", 21, kWordDisconnecting},
    {"latency for", 11, kWordLatency},
};
constexpr size_t kShortest = kShortestWord;

// A word can start where the byte there is its first and the byte kAnchorAt
// further is its seventh. In a game server's log most lines hold neither pair.
constexpr size_t kAnchorAt = 6;
struct TAnchor {
  char First;
  char Later;
};
constexpr TAnchor kAnchors[] = {{'S', ':'}, {'c', 'C'}, {'c', 'd'}, {'l', 'y'}};

// Every word is also at least kShortest bytes long: a byte beyond the anchor
// sorts the words (below), and they are compared eight bytes at a time.
constexpr bool WordsFitTheSearch() {
  for (const TWordEntry& word : kWords) {
    if (word.Length < kShortest) return false;
    bool found = false;
    for (const TAnchor& anchor : kAnchors)
      found = found || (word.Text[0] == anchor.First && word.Text[kAnchorAt] == anchor.Later);
    if (!found) return false;
  }
  return true;
}
static_assert(WordsFitTheSearch(), "a word that the search cannot find");

uint64_t Load8(const char* at) {
  uint64_t bytes;
  std::memcpy(&bytes, at, sizeof bytes);
  return bytes;
}

// n >= 8: eight bytes at a time, the last eight overlapping the ones before.
bool SameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i + 8 < n; i += 8)
    if (Load8(a + i) != Load8(b + i)) return false;
  return Load8(a + n - 8) == Load8(b + n - 8);
}

constexpr int kWordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);

// The words sorted by their ninth byte (every word has one), told apart by its
// low five bits: past an anchor, one table look-up leaves one word to compare,
// or none ("Server: Tick" is no word's start), two for "Server: S".
struct TByNinth {
  static constexpr size_t kAt = 8;
  uint8_t Words[32] = {};
  TByNinth() {
    for (int w = 0; w < kWordCount; ++w)
      Words[Slot(kWords[w].Text)] |= static_cast<uint8_t>(1u << w);
  }
  static size_t Slot(const char* at) { return static_cast<unsigned char>(at[kAt]) & 31u; }
};
const TByNinth kByNinth;

// The word that starts at at and ends by end, or 0. No two words start alike
// for the length of the shorter one, so one word at most starts at a place.
unsigned WordAt(const char* at, const char* end) {
  size_t left = static_cast<size_t>(end - at);
  if (left < kShortest) return 0;
  for (unsigned words = kByNinth.Words[TByNinth::Slot(at)]; words != 0; words &= words - 1) {
    const TWordEntry& word = kWords[__builtin_ctz(words)];
    if (left >= word.Length && SameBytes(at, word.Text, word.Length)) return word.Bit;
  }
  return 0;
}

void Verify(const char* begin, const char* end, const char* at, std::vector<TWordHit>& hits) {
  if (unsigned word = WordAt(at, end)) hits.push_back({static_cast<uint32_t>(at - begin), word});
}

static_assert(sizeof kAnchors / sizeof kAnchors[0] == 4, "the filters test four anchors");
static_assert(kAnchors[1].First == kAnchors[2].First, "the filters share the test of 'c'");

#if defined(__SSE2__)
using TFlags = unsigned;

// The words as sixteen-byte patterns, one slot each, the slot chosen by the
// ninth and tenth bytes: a candidate is checked with two compares and no branch
// on whether it is a word (about half of the candidates are not, at random).
class TPatterns {
 public:
  // What WordAt needs past at.
  static constexpr size_t kReach = 32;

  TPatterns() {
    for (const TWordEntry& word : kWords) {
      TPattern& p = Slots_[Slot(word.Text)];
      char head[16] = {}, tail[16] = {};
      size_t headLength = word.Length < 16 ? word.Length : 16;
      std::memcpy(head, word.Text, headLength);
      p.Head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(head));
      p.HeadMask = (1u << headLength) - 1;
      if (word.Length > 16) {
        p.TailAt = word.Length - 16;
        std::memcpy(tail, word.Text + p.TailAt, 16);
        p.TailMask = 0xffff;
      }
      p.Tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
      p.Bit = word.Bit;
    }
  }
  // The word that starts at at, or 0; kReach bytes from at must be readable.
  unsigned WordAt(const char* at) const {
    const TPattern& p = Slots_[Slot(at)];
    unsigned head = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), p.Head)));
    unsigned tail = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + p.TailAt)), p.Tail)));
    // Arithmetic, not a condition: the compiler would otherwise branch on it.
    unsigned missed = ((head & p.HeadMask) ^ p.HeadMask) | ((tail & p.TailMask) ^ p.TailMask);
    return p.Bit & (0u - static_cast<unsigned>(missed == 0));
  }
  static constexpr size_t Slot(const char* at) {
    return (static_cast<unsigned char>(at[8]) + (static_cast<unsigned char>(at[9]) >> 5)) & 15u;
  }

 private:
  struct TPattern {
    __m128i Head, Tail;
    unsigned HeadMask = 0, TailMask = 0;  // the bytes that must match
    size_t TailAt = 0;
    unsigned Bit = 0;  // 0: no word has this slot
  };
  TPattern Slots_[16];
};

constexpr bool EveryWordHasASlotOfItsOwn() {
  for (int a = 0; a < kWordCount; ++a)
    for (int b = a + 1; b < kWordCount; ++b)
      if (TPatterns::Slot(kWords[a].Text) == TPatterns::Slot(kWords[b].Text)) return false;
  return true;
}
static_assert(EveryWordHasASlotOfItsOwn(), "two words share a pattern slot");
const TPatterns kPatterns;

// Bit i of Candidates(block) is set when position i of the block may start a word.
class TFilter {
 public:
  TFilter() {
    for (int i = 0; i < 4; ++i) {
      First_[i] = _mm_set1_epi8(kAnchors[i].First);
      Later_[i] = _mm_set1_epi8(kAnchors[i].Later);
    }
  }
  TFlags Candidates(const char* block) const {
    __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    __m128i later = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + kAnchorAt));
    __m128i a = _mm_and_si128(_mm_cmpeq_epi8(first, First_[0]), _mm_cmpeq_epi8(later, Later_[0]));
    __m128i b = _mm_and_si128(_mm_cmpeq_epi8(first, First_[1]), _mm_cmpeq_epi8(later, Later_[1]));
    __m128i c = _mm_and_si128(_mm_cmpeq_epi8(first, First_[2]), _mm_cmpeq_epi8(later, Later_[2]));
    __m128i d = _mm_and_si128(_mm_cmpeq_epi8(first, First_[3]), _mm_cmpeq_epi8(later, Later_[3]));
    return static_cast<TFlags>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))));
  }
  // Bit i set when position i of the block holds a CR.
  TFlags Crs(const char* block) const {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    return static_cast<TFlags>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
  }

 private:
  __m128i First_[4];
  __m128i Later_[4];
};

// Sixty-four positions make a group. For each group of a run of them, the
// positions that may start a word and those that hold a CR, a bit each.
constexpr size_t kGroup = 64;
// How many bytes past its positions a group's tests read, at the most.
constexpr size_t kGroupReach = 8;
using TMarkGroups = void (*)(const char* at, size_t groups, uint64_t* candidates, uint64_t* crs);

void MarkGroupsSse2(const char* at, size_t groups, uint64_t* candidates, uint64_t* crs) {
  const TFilter filter;
  for (size_t g = 0; g < groups; ++g, at += kGroup) {
    candidates[g] = filter.Candidates(at) | uint64_t{filter.Candidates(at + 16)} << 16 |
                    uint64_t{filter.Candidates(at + 32)} << 32 |
                    uint64_t{filter.Candidates(at + 48)} << 48;
    crs[g] = filter.Crs(at) | uint64_t{filter.Crs(at + 16)} << 16 |
             uint64_t{filter.Crs(at + 32)} << 32 | uint64_t{filter.Crs(at + 48)} << 48;
  }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The same, thirty-two positions at a time, for the processors that can: the
// one function compiled for them, called only after asking the processor.
__attribute__((target("avx2"))) void MarkGroupsAvx2(const char* at, size_t groups,
                                                    uint64_t* candidates, uint64_t* crs) {
  __m256i firsts[4], laters[4];
  for (int i = 0; i < 4; ++i) {
    firsts[i] = _mm256_set1_epi8(kAnchors[i].First);
    laters[i] = _mm256_set1_epi8(kAnchors[i].Later);
  }
  const __m256i cr = _mm256_set1_epi8('\r');
  for (size_t g = 0; g < groups; ++g, at += kGroup) {
    uint64_t found[2], ends[2];
    for (int half = 0; half < 2; ++half) {
      const char* block = at + 32 * half;
      __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
      __m256i later = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + kAnchorAt));
      __m256i any = _mm256_setzero_si256();
      for (int i = 0; i < 4; ++i)
        any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(first, firsts[i]),
                                                    _mm256_cmpeq_epi8(later, laters[i])));
      found[half] = static_cast<uint32_t>(_mm256_movemask_epi8(any));
      ends[half] = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, cr)));
    }
    candidates[g] = found[0] | found[1] << 32;
    crs[g] = ends[0] | ends[1] << 32;
  }
}

constexpr size_t kNinthAt = 8;
// The ninth bytes that each anchor of kAnchors, in its order, may start a word
// with.
constexpr const char* kNinths[] = {"SUD", "a", " ", "f"};

constexpr bool NinthsFitTheWords() {
  for (const TWordEntry& word : kWords) {
    bool found = false;
    for (size_t a = 0; a < 4; ++a)
      for (const char* c = kNinths[a]; *c; ++c)
        found = found || (word.Text[0] == kAnchors[a].First &&
                          word.Text[kAnchorAt] == kAnchors[a].Later && word.Text[kNinthAt] == *c);
    if (!found) return false;
  }
  return true;
}
static_assert(NinthsFitTheWords(), "a word that the ninth-byte test would miss");

#define ORVANE_AVX512 __attribute__((target("avx512f,avx512bw")))
ORVANE_AVX512 inline __mmask64 Same(__m512i bytes, char c) {
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(c));
}

// The same, a whole group at a time, where byte compares give their bit masks
// directly and no masks are gathered from the vectors. The ninth byte is tested
// too, which passes over the many "Server: " lines of other kinds: about half
// of the candidates, and their checks, go.
ORVANE_AVX512 void MarkGroupsAvx512(const char* at, size_t groups, uint64_t* candidates,
                                    uint64_t* crs) {
  for (size_t g = 0; g < groups; ++g, at += kGroup) {
    __m512i first = _mm512_loadu_si512(at);
    __m512i later = _mm512_loadu_si512(at + kAnchorAt);
    __m512i ninth = _mm512_loadu_si512(at + kNinthAt);
    __mmask64 c = Same(first, kAnchors[1].First);
    candidates[g] =
        (Same(first, kAnchors[0].First) & Same(later, kAnchors[0].Later) &
         (Same(ninth, kNinths[0][0]) | Same(ninth, kNinths[0][1]) | Same(ninth, kNinths[0][2]))) |
        (c & Same(later, kAnchors[1].Later) & Same(ninth, kNinths[1][0])) |
        (c & Same(later, kAnchors[2].Later) & Same(ninth, kNinths[2][0])) |
        (Same(first, kAnchors[3].First) & Same(later, kAnchors[3].Later) &
         Same(ninth, kNinths[3][0]));
    crs[g] = Same(first, '\r');
  }
}
#undef ORVANE_AVX512

TMarkGroups ChooseMarkGroups(TScanWidth widest) {
  __builtin_cpu_init();  // static initialisers may run before the library's own
  if (widest == TScanWidth::Widest && __builtin_cpu_supports("avx512bw")) return MarkGroupsAvx512;
  if (widest != TScanWidth::Sse2 && __builtin_cpu_supports("avx2")) return MarkGroupsAvx2;
  return MarkGroupsSse2;
}
#else
TMarkGroups ChooseMarkGroups(TScanWidth) {
  return MarkGroupsSse2;
}
#endif

#else
constexpr size_t kStep = 8;
using TFlags = uint64_t;

// The top bit of each zero byte of x, and no other bit.
uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The top bit of byte i of Candidates(block) is set when position i of the
// block may start a word.
class TFilter {
 public:
  TFilter() {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    for (int i = 0; i < 4; ++i) {
      First_[i] = kOnes * static_cast<unsigned char>(kAnchors[i].First);
      Later_[i] = kOnes * static_cast<unsigned char>(kAnchors[i].Later);
    }
  }
  TFlags Candidates(const char* block) const {
    uint64_t first = Load8(block), later = Load8(block + kAnchorAt);
    return (ZeroBytes(first ^ First_[0]) & ZeroBytes(later ^ Later_[0])) |
           (ZeroBytes(first ^ First_[1]) & ZeroBytes(later ^ Later_[1])) |
           (ZeroBytes(first ^ First_[2]) & ZeroBytes(later ^ Later_[2])) |
           (ZeroBytes(first ^ First_[3]) & ZeroBytes(later ^ Later_[3]));
  }

 private:
  uint64_t First_[4];
  uint64_t Later_[4];
};

size_t TakeLowest(TFlags& flags) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  size_t index = static_cast<size_t>(__builtin_clzll(flags)) / 8;
  flags &= ~(0x8000000000000000ull >> (index * 8));
#else
  size_t index = static_cast<size_t>(__builtin_ctzll(flags)) / 8;
  flags &= flags - 1;
#endif
  return index;
}
#endif

}  // namespace

TTriggerScanner::TTriggerScanner(TScanWidth widest) {
#if defined(__SSE2__)
  MarkGroups_ = ChooseMarkGroups(widest);
#else
  (void)widest;  // no vector instructions here
#endif
}

size_t TTriggerScanner::Scan(const char* begin, const char* end, std::vector<TWordHit>& hits,
                             uint64_t* crs) {
  hits.clear();
  size_t marked = 0;
  const char* at = begin;
#if defined(__SSE2__)
  // Sixty-four positions at a time. Their candidates are queued without a branch
  // on how many there are (a log line holds about one, at no place that could be
  // foreseen), and checked in batches.
  constexpr int kTaken = 2;    // candidates queued without a loop; more are rare
  constexpr size_t kRun = 64;  // groups marked at a time
  if (static_cast<size_t>(end - begin) >= kGroup + kGroupReach) {
    size_t queued = 0;
    // Every candidate's slot is written, and counted only when it holds a word.
    auto verifyQueued = [&] {
      size_t found = hits.size();
      hits.resize(found + queued);
      for (size_t i = 0; i < queued; ++i) {
        const char* candidate = begin + Queue_[i];
        unsigned word = static_cast<size_t>(end - candidate) >= TPatterns::kReach
                            ? kPatterns.WordAt(candidate)
                            : WordAt(candidate, end);
        hits[found] = {Queue_[i], word};
        found += word != 0;
      }
      hits.resize(found);
      queued = 0;
    };
    // A group tests kGroup positions and reads up to kGroupReach bytes beyond them.
    size_t groups = (static_cast<size_t>(end - begin) - kGroupReach) / kGroup;
    uint64_t candidates[kRun], ends[kRun];
    for (size_t first = 0; first < groups; first += kRun) {
      size_t run = groups - first < kRun ? groups - first : kRun;
      MarkGroups_(begin + first * kGroup, run, candidates, crs ? crs + first : ends);
      for (size_t g = 0; g < run; ++g) {
        uint32_t base = static_cast<uint32_t>((first + g) * kGroup);
        uint64_t rest = candidates[g];
        for (int i = 0; i < kTaken; ++i) {
          // Past the last candidate the top bit stands in: the slot is written
          // but not counted.
          Queue_[queued] = base + static_cast<uint32_t>(__builtin_ctzll(rest | (1ull << 63)));
          queued += rest != 0;
          rest &= rest - 1;
        }
        for (; rest != 0; rest &= rest - 1)
          Queue_[queued++] = base + static_cast<uint32_t>(__builtin_ctzll(rest));
        if (queued > kQueue - kGroup) verifyQueued();
      }
    }
    verifyQueued();
    at = begin + groups * kGroup;
    if (crs != nullptr) marked = groups * kGroup;
  }
#else
  (void)crs;     // no line ends are marked here
  // A block tests kStep positions and reads kAnchorAt bytes beyond them.
  if (static_cast<size_t>(end - begin) >= kStep + kAnchorAt) {
    const TFilter filter;
    for (const char* last = end - (kStep + kAnchorAt); at <= last; at += kStep) {
      for (TFlags flags = filter.Candidates(at); flags != 0;)
        Verify(begin, end, at + TakeLowest(flags), hits);
    }
  }
#endif
  for (; end - at >= static_cast<ptrdiff_t>(kShortest); ++at) Verify(begin, end, at, hits);
  return marked;
}

unsigned TTriggerScanner::WordsIn(const char* begin, const char* end) {
  Scan(begin, end, Scratch_);
  unsigned words = 0;
  for (const TWordHit& hit : Scratch_) words |= hit.Word;
  return words;
}

#include "monitor/TriggerWords.h"

#include <algorithm>
#include <cstring>

namespace {

struct TWordEntry {
  const char* Text;
  size_t Length;
  // Offset of the 11-byte window used for skipping, chosen on a long log
  // written by tools/gamelog as the one that lets the scan move furthest.
  int Window;
  unsigned Bit;
};

constexpr TWordEntry kWords[] = {
    {"Server: SYNC: 2way:", 19, 0, kWordSync},
    {"Server: Singleton player reset.", 31, 3, kWordSingleton},
    {"created, running...", 19, 7, kWordCreated},
    {"chat: Changing ", 15, 1, kWordChanging},
    {"Server: User", 12, 0, kWordUser},
    {"Server: Disconnecting", 21, 1, kWordDisconnecting},
    {"latency for", 11, 0, kWordLatency},
};
constexpr int kWordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);
static_assert(kWordCount <= 8, "one bit per word in a byte");

}  // namespace

uint64_t TTriggerScanner::Load8(const char* at) {
  uint64_t bytes;
  std::memcpy(&bytes, at, sizeof bytes);
  return bytes;
}

unsigned TTriggerScanner::Hash(const char* windowEnd) {
  uint16_t pair;
  std::memcpy(&pair, windowEnd - 1, sizeof pair);
  return (pair ^ (pair >> 4)) & (kTableSize - 1);
}

TTriggerScanner::TTriggerScanner() {
  static_assert(kWordCount == kWordTotal, "every word has its head and tail");
  std::memset(Shift_, kWindow - 1, sizeof Shift_);
  std::memset(Ends_, 0, sizeof Ends_);
  for (int w = 0; w < kWordCount; ++w) {
    Heads_[w] = Load8(kWords[w].Text);
    Tails_[w] = Load8(kWords[w].Text + kWords[w].Length - 8);
    const char* window = kWords[w].Text + kWords[w].Window;
    for (int q = 1; q < kWindow; ++q) {
      unsigned h = Hash(window + q);
      uint8_t shift = static_cast<uint8_t>(kWindow - 1 - q);
      Shift_[h] = std::min(Shift_[h], shift);
      if (shift == 0) Ends_[h] = static_cast<uint8_t>(Ends_[h] | (1u << w));
    }
  }
}

void TTriggerScanner::Verify(const char* begin, const char* end, const char* windowEnd,
                             std::vector<TWordHit>& hits) const {
  unsigned candidates = Ends_[Hash(windowEnd)];
  const char* window = windowEnd - (kWindow - 1);
  while (candidates != 0) {
    int w = 0;
    while (!(candidates & (1u << w))) ++w;
    candidates &= candidates - 1;
    const TWordEntry& word = kWords[w];
    if (window - begin < word.Window) continue;
    const char* start = window - word.Window;
    if (static_cast<size_t>(end - start) < word.Length) continue;
    // Every word is at least 8 bytes long: its first and last eight bytes,
    // which overlap for the short ones, and the middle of the long ones.
    if (Load8(start) != Heads_[w] || Load8(start + word.Length - 8) != Tails_[w]) continue;
    if (word.Length > 16 && std::memcmp(start + 8, word.Text + 8, word.Length - 16) != 0) continue;
    hits.push_back({static_cast<uint32_t>(start - begin), word.Bit});
  }
}

void TTriggerScanner::ScanLane(const char* begin, const char* end, const char* from, const char* to,
                               std::vector<TWordHit>& hits) const {
  for (const char* e = from; e < to;) {
    unsigned shift = Shift_[Hash(e)];
    if (shift != 0) {
      e += shift;
      continue;
    }
    Verify(begin, end, e, hits);
    ++e;
  }
}

void TTriggerScanner::Scan(const char* begin, const char* end, std::vector<TWordHit>& hits) {
  hits.clear();
  if (end - begin < kWindow) return;
  // Every window end from the first possible one to the last byte belongs to
  // exactly one lane, so every word is found once.
  const char* first = begin + (kWindow - 1);
  size_t span = static_cast<size_t>(end - first);
  if (span < 4096) {
    ScanLane(begin, end, first, end, hits);
  } else {
    const char* from[kLanes];
    const char* to[kLanes];
    for (int k = 0; k < kLanes; ++k) {
      from[k] = first + span * static_cast<size_t>(k) / kLanes;
      to[k] = first + span * static_cast<size_t>(k + 1) / kLanes;
      LaneHits_[k].clear();
    }
    // The four windows move in step while all of them are inside their parts;
    // each part's rest is then finished on its own. Windows that may end a word
    // are queued and checked in batches, so the loop itself does not branch on
    // what it reads.
    const char* e0 = from[0];
    const char* e1 = from[1];
    const char* e2 = from[2];
    const char* e3 = from[3];
    size_t n0 = 0, n1 = 0, n2 = 0, n3 = 0;
    auto verifyQueued = [&] {
      for (size_t i = 0; i < n0; ++i) Verify(begin, end, Queue_[0][i], LaneHits_[0]);
      for (size_t i = 0; i < n1; ++i) Verify(begin, end, Queue_[1][i], LaneHits_[1]);
      for (size_t i = 0; i < n2; ++i) Verify(begin, end, Queue_[2][i], LaneHits_[2]);
      for (size_t i = 0; i < n3; ++i) Verify(begin, end, Queue_[3][i], LaneHits_[3]);
      n0 = n1 = n2 = n3 = 0;
    };
    while (e0 < to[0] && e1 < to[1] && e2 < to[2] && e3 < to[3]) {
      unsigned s0 = Shift_[Hash(e0)];
      unsigned s1 = Shift_[Hash(e1)];
      unsigned s2 = Shift_[Hash(e2)];
      unsigned s3 = Shift_[Hash(e3)];
      Queue_[0][n0] = e0;
      Queue_[1][n1] = e1;
      Queue_[2][n2] = e2;
      Queue_[3][n3] = e3;
      n0 += s0 == 0;
      n1 += s1 == 0;
      n2 += s2 == 0;
      n3 += s3 == 0;
      e0 += s0 + (s0 == 0);
      e1 += s1 + (s1 == 0);
      e2 += s2 + (s2 == 0);
      e3 += s3 + (s3 == 0);
      if ((n0 | n1 | n2 | n3) >= kQueue - 1) verifyQueued();
    }
    verifyQueued();
    ScanLane(begin, end, e0, to[0], LaneHits_[0]);
    ScanLane(begin, end, e1, to[1], LaneHits_[1]);
    ScanLane(begin, end, e2, to[2], LaneHits_[2]);
    ScanLane(begin, end, e3, to[3], LaneHits_[3]);
    for (int k = 0; k < kLanes; ++k)
      hits.insert(hits.end(), LaneHits_[k].begin(), LaneHits_[k].end());
  }
  // Words are found by where their window ends, and the windows sit at different
  // offsets in different words, so neighbouring hits may come out of order. They
  // are never more than a word's length apart: an insertion sort is cheap.
  for (size_t i = 1; i < hits.size(); ++i) {
    TWordHit hit = hits[i];
    size_t j = i;
    while (j > 0 && hits[j - 1].Position > hit.Position) {
      hits[j] = hits[j - 1];
      --j;
    }
    hits[j] = hit;
  }
}

unsigned TTriggerScanner::WordsIn(const char* begin, const char* end) {
  Scan(begin, end, Scratch_);
  unsigned words = 0;
  for (const TWordHit& hit : Scratch_) words |= hit.Word;
  return words;
}

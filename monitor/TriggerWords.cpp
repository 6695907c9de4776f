#include "monitor/TriggerWords.h"

#include <algorithm>
#include <cstring>

namespace {

struct TWordSpec {
  const char* Text;
  size_t Length;
  // Offset of the 11-byte window used for skipping; chosen so that the window
  // ends in two bytes that are rare in a game server's log.
  int Window;
  unsigned Bit;
};

constexpr TWordSpec kWords[] = {
    {"Server: SYNC: 2way:", 19, 8, kWordSync},
    {"Server: Singleton player reset.", 31, 20, kWordSingleton},
    {"created, running...", 19, 8, kWordCreated},
    {"chat: Changing ", 15, 1, kWordChanging},
    {"Server: User", 12, 0, kWordUser},
    {"Server: Disconnecting", 21, 4, kWordDisconnecting},
    {"latency for", 11, 0, kWordLatency},
};
constexpr int kWordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);

}  // namespace

unsigned TTriggerScanner::Hash(const char* windowEnd) {
  uint16_t pair;
  std::memcpy(&pair, windowEnd - 1, sizeof pair);
  return (pair ^ (pair >> 4)) & (kTableSize - 1);
}

TTriggerScanner::TTriggerScanner() {
  std::memset(Shift_, kWindow - 1, sizeof Shift_);
  std::memset(Ends_, 0, sizeof Ends_);
  for (int w = 0; w < kWordCount; ++w) {
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
    const TWordSpec& spec = kWords[w];
    if (window - begin < spec.Window) continue;
    const char* start = window - spec.Window;
    if (static_cast<size_t>(end - start) < spec.Length) continue;
    if (std::memcmp(start, spec.Text, spec.Length) == 0)
      hits.push_back({static_cast<uint32_t>(start - begin), spec.Bit});
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
    const char* e[kLanes] = {from[0], from[1], from[2], from[3]};
    for (;;) {
      bool running = false;
      for (int k = 0; k < kLanes; ++k) {
        if (e[k] >= to[k]) continue;
        running = true;
        unsigned shift = Shift_[Hash(e[k])];
        if (shift != 0) {
          e[k] += shift;
        } else {
          Verify(begin, end, e[k], LaneHits_[k]);
          ++e[k];
        }
      }
      if (!running) break;
    }
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

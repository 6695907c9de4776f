#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/TriggerWords.h"

namespace {

struct TWordCase {
  const char* Text;
  unsigned Word;
};

const TWordCase kWordCases[] = {
    {"Server: SYNC: 2way:", kWordSync},    {"Server: Singleton player reset.", kWordSingleton},
    {"created, running...", kWordCreated}, {"chat: Changing ", kWordChanging},
    {"Server: User", kWordUser},           {"Server: Disconnecting", kWordDisconnecting},
    {"latency for", kWordLatency},
};

// Each test runs with every width of vector instructions that the processor
// has (a width it lacks falls back to a narrower one).
class TriggerScanner : public testing::TestWithParam<TScanWidth> {
 protected:
  std::vector<TWordHit> ScanOf(const std::string& text) {
    TTriggerScanner scanner(GetParam());
    std::vector<TWordHit> hits;
    scanner.Scan(text.data(), text.data() + text.size(), hits);
    return hits;
  }
};

// The scan takes the text in groups of positions with a tail after them: a word
// must be found at every offset, across every group's edge, and up to the end.
TEST_P(TriggerScanner, FindsEachWordAtEveryOffsetAndUpToTheEnd) {
  for (const TWordCase& word : kWordCases) {
    for (size_t before = 0; before < 150; ++before) {
      for (size_t after : {size_t{0}, size_t{1}, size_t{90}}) {
        std::string text = std::string(before, 'S') + word.Text + std::string(after, ':');
        std::vector<TWordHit> hits = ScanOf(text);
        ASSERT_EQ(hits.size(), 1u) << word.Text << " at " << before << ", " << after << " after";
        EXPECT_EQ(hits[0].Position, before);
        EXPECT_EQ(hits[0].Word, word.Word);
      }
    }
    std::string text = std::string(40, 'x') + word.Text;
    text.pop_back();
    EXPECT_TRUE(ScanOf(text).empty()) << word.Text << " cut short";
  }
}

// A word with any one of its bytes changed is no word, in the middle of a long
// text and at its end.
TEST_P(TriggerScanner, FindsNoWordWithAByteChanged) {
  for (const TWordCase& word : kWordCases) {
    std::string text = word.Text;
    for (size_t i = 0; i < text.size(); ++i) {
      std::string changed = text;
      changed[i] = '#';
      EXPECT_TRUE(ScanOf(std::string(70, '.') + changed + std::string(70, '.')).empty()) << changed;
      EXPECT_TRUE(ScanOf(std::string(70, '.') + changed).empty()) << changed << " at the end";
    }
  }
}

TEST_P(TriggerScanner, FindsEveryWordOfADenseRunInOrder) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "Server: User";
  std::vector<TWordHit> hits = ScanOf(text);
  ASSERT_EQ(hits.size(), 40u);
  for (size_t i = 0; i < hits.size(); ++i) EXPECT_EQ(hits[i].Position, 12 * i);
}

// The line ends that a scan marks on its way are exactly the CRs of the bytes
// it marked, across group edges and beside the words.
TEST_P(TriggerScanner, MarksExactlyTheCrsOfTheBytesItMarked) {
  std::string text;
  for (int i = 0; text.size() < 700; ++i)
    text += std::string(i % 7, 'x') + (i % 3 ? "\r\n" : "\r") + kWordCases[i % 7].Text;
  TTriggerScanner scanner(GetParam());
  std::vector<TWordHit> hits;
  std::vector<uint64_t> crs(text.size() / 64 + 1, ~0ull);
  size_t marked = scanner.Scan(text.data(), text.data() + text.size(), hits, crs.data());
#if defined(__SSE2__)
  EXPECT_GE(marked, text.size() - 128);
#endif
  for (size_t i = 0; i < marked; ++i)
    ASSERT_EQ((crs[i / 64] >> (i % 64)) & 1, text[i] == '\r' ? 1u : 0u) << "byte " << i;
}

std::string WidthName(const testing::TestParamInfo<TScanWidth>& info) {
  const char* const names[] = {"Widest", "Avx2", "Sse2"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryWidth, TriggerScanner,
                         testing::Values(TScanWidth::Widest, TScanWidth::Avx2, TScanWidth::Sse2),
                         WidthName);

}  // namespace

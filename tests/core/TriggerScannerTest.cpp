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

std::vector<TWordHit> ScanOf(const std::string& text) {
  TTriggerScanner scanner;
  std::vector<TWordHit> hits;
  scanner.Scan(text.data(), text.data() + text.size(), hits);
  return hits;
}

// The scan takes the text in groups of positions with a tail after them: a word
// must be found at every offset, across every group's edge, and up to the end.
TEST(TriggerScanner, FindsEachWordAtEveryOffsetAndUpToTheEnd) {
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
TEST(TriggerScanner, FindsNoWordWithAByteChanged) {
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

TEST(TriggerScanner, FindsEveryWordOfADenseRunInOrder) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "Server: User";
  std::vector<TWordHit> hits = ScanOf(text);
  ASSERT_EQ(hits.size(), 40u);
  for (size_t i = 0; i < hits.size(); ++i) EXPECT_EQ(hits[i].Position, 12 * i);
}

}  // namespace

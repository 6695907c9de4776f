// Our profile reader and writer on arbitrary file bytes: no crash, a stored
// value reads back, storing twice changes nothing more, and no other key's
// value moves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/IniText.h"

namespace {
const char* const kSections[] = {"S", "T", "s", "U"};
const char* const kKeys[] = {"K", "J", "k", "A"};
const size_t kMax = 2047;

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  std::string section = kSections[data[0] % 4];
  std::string key = kKeys[data[1] % 4];
  // A value the reader gives back unchanged: printable, no quotes, no blanks
  // at its ends.
  size_t valueLength = data[2] % 16;
  std::string value;
  for (size_t i = 3; i < 3 + valueLength && i < size; ++i) {
    char c = static_cast<char>('A' + data[i] % 26);
    value += (i % 5 == 0 && !value.empty()) ? ' ' : c;
  }
  while (!value.empty() && value.back() == ' ') value.pop_back();
  size_t textStart = 3 + valueLength < size ? 3 + valueLength : size;
  std::string text(reinterpret_cast<const char*>(data) + textStart, size - textStart);

  std::string stored = IniText::Store(text, section, key, value);
  auto readBack = IniText::Find(stored, section, key, kMax);
  if (!readBack || *readBack != value) std::abort();
  if (IniText::Store(stored, section, key, value) != stored) std::abort();
  for (const char* s : kSections)
    for (const char* k : kKeys) {
      if (SameName(s, section) && SameName(k, key)) continue;
      auto before = IniText::Find(text, s, k, kMax);
      auto after = IniText::Find(stored, s, k, kMax);
      if (before != after) std::abort();
      if (before && before->size() > kMax) std::abort();
    }
  return 0;
}

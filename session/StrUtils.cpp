#include "session/StrUtils.h"

#include <algorithm>

namespace Str {

int Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  size_t at = s.find(sub);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Copy(const std::string& s, int index, int count) {
  if (index < 1) index = 1;
  int length = static_cast<int>(s.size());
  if (index > length || count <= 0) return {};
  return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, length - index + 1)));
}

void Delete(std::string& s, int index, int count) {
  int length = static_cast<int>(s.size());
  if (index < 1 || index > length || count <= 0) return;
  s.erase(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, length - index + 1)));
}

std::string Trim(const std::string& s) {
  size_t first = 0, last = s.size();
  while (first < last && static_cast<unsigned char>(s[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32) --last;
  return s.substr(first, last - first);
}

std::string BlanksToUnderscores(std::string s) {
  std::replace(s.begin(), s.end(), ' ', '_');
  return s;
}

}  // namespace Str

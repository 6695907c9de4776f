#pragma once

#include <string>

// The string operations the line rules and protocols are written in. Strings
// are byte strings; positions count from 1, as in the game's own tools.
namespace Str {

// Position of the first occurrence of sub in s, 0 when it does not occur.
int Pos(const std::string& sub, const std::string& s);
// Up to count characters from position index; an index below 1 counts as 1, an
// index past the end or a negative count gives "".
std::string Copy(const std::string& s, int index, int count);
// Removes up to count characters from position index; nothing when index is
// below 1 or past the end, or count is 0 or less.
void Delete(std::string& s, int index, int count);
// Removes leading and trailing characters of code 32 or less.
std::string Trim(const std::string& s);
// Replaces every blank (32) by "_".
std::string BlanksToUnderscores(std::string s);
inline bool Contains(const std::string& s, const std::string& sub) {
  return s.find(sub) != std::string::npos;
}

}  // namespace Str

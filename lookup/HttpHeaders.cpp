#include "lookup/HttpHeaders.h"

#include <cctype>

#include "session/StrUtils.h"

namespace {

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// The value of the line at index, with its continuation lines; index must hold
// a line with a ":".
std::string ValueAt(const TIdHeaderLines& lines, size_t index) {
  const std::string& line = lines[index];
  std::string value = Str::Trim(line.substr(line.find(':') + 1));
  for (size_t i = index + 1; i < lines.size() && IsContinuation(lines[i]); ++i) {
    const std::string part = Str::Trim(lines[i]);
    if (part.empty()) continue;
    value += value.empty() ? part : " " + part;
  }
  return value;
}

bool HasName(const std::string& line, const std::string& name) {
  const size_t colon = line.find(':');
  return colon != std::string::npos && colon == name.size() &&
         SameText(line.substr(0, colon), name);
}

}  // namespace

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string HeaderValue(const TIdHeaderLines& lines, const std::string& name) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (HasName(lines[i], name)) return ValueAt(lines, i);
  }
  return "";
}

std::vector<std::string> HeaderValues(const TIdHeaderLines& lines, const std::string& name) {
  std::vector<std::string> values;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (HasName(lines[i], name)) values.push_back(ValueAt(lines, i));
  }
  return values;
}

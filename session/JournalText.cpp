#include "session/JournalText.h"

#include <cstdio>
#include <cstdlib>

std::string JournalLine(const TLocalTime& at, const std::string& word, const std::string& text) {
  char stamp[40];
  const int offset = std::abs(at.OffsetMinutes);
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d%c%02d:%02d ", at.Year, at.Month,
                at.Day, at.Hour, at.Minute, at.Second, at.OffsetMinutes < 0 ? '-' : '+',
                offset / 60, offset % 60);
  std::string line = stamp + word + " ";
  line.reserve(line.size() + text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    line += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return line + "\r\n";
}

std::string ClockTime(const TLocalTime& at) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", at.Hour, at.Minute);
  return text;
}

std::string GroupedNumber(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return value < 0 ? "-" + grouped : grouped;
}

std::string Duration(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[48];
  if (seconds < 60)
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
  else if (seconds < 3600)
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60));
  return text;
}

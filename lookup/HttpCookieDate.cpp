#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "lookup/HttpCookies.h"

// Cookie dates come in several historic shapes, so they are read token by
// token: a time, a day of the month, a month name and a year may stand in any
// order among any delimiters, and the first token of each kind counts.
namespace {

bool IsDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::string current;
  for (unsigned char c : text) {
    if (IsDelimiter(c)) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(c);
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads minDigits to maxDigits digits from the start of token; anything may
// follow unless the whole token must be used.
bool LeadingNumber(const std::string& token, size_t& pos, size_t minDigits, size_t maxDigits,
                   int& value) {
  size_t n = 0;
  value = 0;
  while (pos + n < token.size() && IsDigit(token[pos + n]) && n < maxDigits) {
    value = value * 10 + (token[pos + n] - '0');
    ++n;
  }
  if (n < minDigits) return false;
  // More digits than allowed make the token something else.
  if (pos + n < token.size() && IsDigit(token[pos + n])) return false;
  pos += n;
  return true;
}

bool ReadTime(const std::string& token, int& h, int& m, int& s) {
  size_t pos = 0;
  if (!LeadingNumber(token, pos, 1, 2, h)) return false;
  if (pos >= token.size() || token[pos] != ':') return false;
  ++pos;
  if (!LeadingNumber(token, pos, 1, 2, m)) return false;
  if (pos >= token.size() || token[pos] != ':') return false;
  ++pos;
  return LeadingNumber(token, pos, 1, 2, s);
}

int MonthOf(const std::string& token) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  std::string head;
  for (size_t i = 0; i < 3; ++i)
    head += static_cast<char>(std::tolower(static_cast<unsigned char>(token[i])));
  for (int i = 0; i < 12; ++i) {
    if (head == kMonths[i]) return i + 1;
  }
  return 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

}  // namespace

bool ParseCookieDate(const std::string& text, int64_t& seconds) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  for (const std::string& token : Tokens(text)) {
    size_t pos = 0;
    int value = 0;
    if (!haveTime && ReadTime(token, hour, minute, second)) {
      haveTime = true;
    } else if (!haveDay && LeadingNumber(token, pos, 1, 2, value)) {
      haveDay = true;
      day = value;
    } else if (!haveMonth && MonthOf(token) != 0) {
      haveMonth = true;
      month = MonthOf(token);
    } else if (!haveYear && (pos = 0, LeadingNumber(token, pos, 2, 4, value))) {
      haveYear = true;
      year = value;
    }
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return false;
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (year < 1601 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
  seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
            hour * 3600 + minute * 60 + second;
  return true;
}

#include "session/IntConv.h"

EConvertError::EConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

bool TryStrToInt(const std::string& text, int32_t& value) {
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  uint64_t magnitude = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (; i < n; ++i) {
    char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (hex && c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
    magnitude = magnitude * (hex ? 16 : 10) + digit;
    if (magnitude > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t value;
  if (!TryStrToInt(text, value)) throw EConvertError(text);
  return value;
}

int32_t StrToIntDef(const std::string& text, int32_t def) {
  int32_t value;
  return TryStrToInt(text, value) ? value : def;
}

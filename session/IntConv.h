#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A text that the integer conversion refused: "'%s' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& text);
};

// Text to a signed 32-bit integer, as settings keys, address parts, ports, slot
// digits and the looked-up port are read: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing
// may follow. Decimal values must lie in the 32-bit range; hexadecimal values may
// use all 32 bits ($FFFFFFFF is -1).
bool TryStrToInt(const std::string& text, int32_t& value);
// As TryStrToInt; throws EConvertError on failure.
int32_t StrToInt(const std::string& text);
// As TryStrToInt; def on failure.
int32_t StrToIntDef(const std::string& text, int32_t def);

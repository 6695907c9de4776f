#include <cstdint>
#include <string>

#include "lookup/Http.h"

uint64_t ParseChunkSize(const std::string& line) {
  const std::string digits = line.substr(0, line.find_first_of(" \t;"));
  if (digits.empty()) throw EIdHTTPInvalidChunkSize(line);
  uint64_t size = 0;
  for (char c : digits) {
    int value;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      value = c - 'A' + 10;
    } else {
      throw EIdHTTPInvalidChunkSize(line);
    }
    if (size > (UINT64_MAX >> 4)) throw EIdHTTPInvalidChunkSize(line);
    size = (size << 4) | static_cast<uint64_t>(value);
  }
  return size;
}

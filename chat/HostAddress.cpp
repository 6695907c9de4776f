#include "chat/HostAddress.h"

#include "chat/IdErrors.h"

namespace {
constexpr uint32_t kLoopback = 0x7F000001;

bool IsLocalHost(const std::string& host) {
  static const char kName[] = "LOCALHOST";
  if (host.size() != sizeof kName - 1) return false;
  for (size_t i = 0; i < host.size(); ++i) {
    char c = host[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kName[i]) return false;
  }
  return true;
}
}  // namespace

bool ParseDottedAddress(const std::string& text, uint32_t& address) {
  uint32_t result = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    size_t start = i;
    uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
      if (value > 255) return false;
      ++i;
    }
    if (i == start) return false;
    result = (result << 8) | value;
  }
  if (i != text.size()) return false;
  address = result;
  return true;
}

bool IsLiteralHost(const std::string& host) {
  uint32_t address;
  return IsLocalHost(host) || ParseDottedAddress(host, address);
}

uint32_t ResolveHost(TSocketStack& stack, const std::string& host) {
  if (IsLocalHost(host)) return kLoopback;
  uint32_t address = 0;
  if (ParseDottedAddress(host, address)) return address;
  int code = stack.LookupHost(host, address);
  if (code != 0) throw EIdSocketError(code);
  return address;
}

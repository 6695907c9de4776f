#pragma once

#include <cstdint>
#include <string>

#include "platform/Socket.h"

// Reads four decimal numbers from 0 to 255 separated by dots as an IPv4 address
// in host byte order. Leading zeros are decimal, never octal.
bool ParseDottedAddress(const std::string& text, uint32_t& address);

// True for the hosts that need no lookup: "LOCALHOST" in any letter case, and
// dotted addresses.
bool IsLiteralHost(const std::string& host);

// The address to connect to for a host: "LOCALHOST" in any letter case is
// 127.0.0.1, a dotted address is taken as it is, any other name is looked up and
// its first IPv4 address used. A failed lookup throws EIdSocketError.
uint32_t ResolveHost(TSocketStack& stack, const std::string& host);

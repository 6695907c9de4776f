#pragma once

#include <string>

// Turns \t, \r, \n, \\ and \xHH in a command argument into their bytes, so that
// tests can make the server send any byte.
std::string Unescape(const std::string& text);

#pragma once

#include <string>
#include <vector>

// Header lines are kept as received and looked up by name: the name of a line
// is the text before its first ":", compared without regard to case; the value
// is the text after it, trimmed, and every following line that begins with a
// blank or a tab continues it, joined with one blank.
using TIdHeaderLines = std::vector<std::string>;

// The value of the first line with that name; "" when there is none.
std::string HeaderValue(const TIdHeaderLines& lines, const std::string& name);
// The values of every line with that name, in order ("Set-Cookie" may repeat).
std::vector<std::string> HeaderValues(const TIdHeaderLines& lines, const std::string& name);

// Comparison without regard to ASCII case, as header names and host names are compared.
bool SameText(const std::string& a, const std::string& b);

#pragma once

#include <string>

// The text of the general error display for an error's message: a period is
// added unless the message already ends in "." or in a character whose code is
// below that of "." (a blank, a line end, "!", a quote, ","...). Codes are
// compared as unsigned bytes, so a message ending in a letter of the upper half
// of the code page gets its period too. An empty message stays empty: there is
// no sentence to close. Header-only and portable, so the native tests check the
// rule as well.
inline std::string ErrorBoxText(const std::string& message) {
  if (message.empty()) return message;
  return static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')
             ? message + "."
             : message;
}

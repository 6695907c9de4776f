#pragma once

#include <cstdint>
#include <string>

#include "platform/LocalTime.h"

// The pieces of the operator's journal's lines.

// "YYYY-MM-DD HH:MM:SS+HH:MM WORD text" with CR LF: the local time and its
// offset from UTC ("-" west of it), the event word, the text. CR and LF in the
// text become blanks (a CR LF pair one blank), so every event is one line.
std::string JournalLine(const TLocalTime& at, const std::string& word, const std::string& text);
// "14:02": the hour and minute of a time, for "since" in a folded line.
std::string ClockTime(const TLocalTime& at);
// A count of bytes as an operator reads it: thousands set apart by blanks,
// "48 213".
std::string GroupedNumber(int64_t value);
// A length of time: "12 s", "3 min 05 s", "1 h 02 min".
std::string Duration(int64_t seconds);

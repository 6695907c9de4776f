#pragma once

// The wall clock as the operator reads it: the local time and its offset from
// UTC (negative west of Greenwich), as the system's time zone says now.
struct TLocalTime {
  int Year = 1970;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int OffsetMinutes = 0;
};

TLocalTime LocalTimeNow();

#include "platform/LocalTime.h"

#include <ctime>

TLocalTime LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  TLocalTime t;
  t.Year = parts.tm_year + 1900;
  t.Month = parts.tm_mon + 1;
  t.Day = parts.tm_mday;
  t.Hour = parts.tm_hour;
  t.Minute = parts.tm_min;
  t.Second = parts.tm_sec;
  t.OffsetMinutes = static_cast<int>(parts.tm_gmtoff / 60);
  return t;
}

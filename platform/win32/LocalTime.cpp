#include "platform/LocalTime.h"

#include <windows.h>

TLocalTime LocalTimeNow() {
  // The local time and the offset in force now, summer time included: the
  // difference between the same instant read both ways.
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME parts;
  FileTimeToSystemTime(&local, &parts);
  ULARGE_INTEGER u, l;
  u.LowPart = utc.dwLowDateTime;
  u.HighPart = utc.dwHighDateTime;
  l.LowPart = local.dwLowDateTime;
  l.HighPart = local.dwHighDateTime;
  const long long difference =
      static_cast<long long>(l.QuadPart) - static_cast<long long>(u.QuadPart);
  TLocalTime t;
  t.Year = parts.wYear;
  t.Month = parts.wMonth;
  t.Day = parts.wDay;
  t.Hour = parts.wHour;
  t.Minute = parts.wMinute;
  t.Second = parts.wSecond;
  // 100-ns units; offsets are whole minutes.
  t.OffsetMinutes = static_cast<int>(difference / (60LL * 10000000LL));
  return t;
}

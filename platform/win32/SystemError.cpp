#include "platform/win32/SystemError.h"

#include <windows.h>

std::string SystemErrorText(unsigned long code) {
  char buffer[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "System error " + std::to_string(code);
  return text;
}

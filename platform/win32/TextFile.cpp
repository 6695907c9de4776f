#include "platform/TextFile.h"

#include <windows.h>

#include "platform/win32/SystemError.h"

intptr_t TTextFile::RawCreate(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EInOutError(SystemErrorText(GetLastError()));
  return reinterpret_cast<intptr_t>(h);
}

void TTextFile::RawWrite(intptr_t handle, const char* data, size_t count) {
  while (count > 0) {
    DWORD n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, static_cast<DWORD>(count), &n, nullptr))
      throw EInOutError(SystemErrorText(GetLastError()));
    data += n;
    count -= n;
  }
}

void TTextFile::RawClose(intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

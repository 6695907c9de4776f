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

void TTextFile::RawReplace(const std::string& from, const std::string& to) {
  // The move fails while another program holds the old file open without
  // sharing its deletion (editors and viewers usually do): the caller then
  // empties the file instead. This file's own handle is closed before.
  // (ReplaceFile would refuse the first move, when no old file exists yet.)
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
    throw EInOutError(SystemErrorText(GetLastError()));
}

void TTextFile::RawCopyReplace(const std::string& from, const std::string& to) {
  // The holder of either file may read and write it; what it can refuse is
  // only deletion, which a copy does not need.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE source = CreateFileA(from.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) throw EInOutError(SystemErrorText(GetLastError()));
  HANDLE target = CreateFileA(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    CloseHandle(source);
    throw EInOutError(SystemErrorText(error));
  }
  char block[64 * 1024];
  DWORD error = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, block, sizeof block, &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0) break;
    DWORD put = 0;
    if (!WriteFile(target, block, got, &put, nullptr) || put != got) {
      error = GetLastError();
      break;
    }
  }
  CloseHandle(source);
  CloseHandle(target);
  if (error != 0) throw EInOutError(SystemErrorText(error));
}

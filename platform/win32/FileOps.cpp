#include "platform/FileOps.h"

#include <windows.h>

#include "platform/win32/SystemError.h"

namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void Fail(DWORD error) {
  throw EInOutError(SystemErrorText(error));
}

HANDLE OpenOrFail(const std::string& path, DWORD access, DWORD sharing, DWORD disposition) {
  HANDLE h = CreateFileA(path.c_str(), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(GetLastError());
  return h;
}

void WriteAll(HANDLE file, const char* data, size_t count) {
  while (count > 0) {
    DWORD n = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(count), &n, nullptr)) Fail(GetLastError());
    data += n;
    count -= n;
  }
}
}  // namespace

void MoveReplacing(const std::string& from, const std::string& to) {
  // (ReplaceFile would refuse the first move, when no old file exists yet.)
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) Fail(GetLastError());
}

void CopyReplacing(const std::string& from, const std::string& to) {
  // The holder of either file may read and write it; what it can refuse is
  // only deletion, which a copy does not need.
  HANDLE source = OpenOrFail(from, GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE target = CreateFileA(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    CloseHandle(source);
    Fail(error);
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
  if (error != 0) Fail(error);
}

void EmptyFile(const std::string& path) {
  CloseHandle(OpenOrFail(path, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
}

int64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void AppendToFile(const std::string& path, const std::string& bytes) {
  HANDLE file = OpenOrFail(path, FILE_APPEND_DATA, kShareAll, OPEN_ALWAYS);
  try {
    WriteAll(file, bytes.data(), bytes.size());
  } catch (...) {
    CloseHandle(file);
    throw;
  }
  CloseHandle(file);
}

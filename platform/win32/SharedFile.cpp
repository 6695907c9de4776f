#include "platform/SharedFile.h"

#include <windows.h>

#include "platform/win32/SystemError.h"

namespace {
[[noreturn]] void Fail() { throw EFileError(SystemErrorText(GetLastError())); }
HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void TSharedReadFile::Open(const std::string& path) {
  Close();
  // The game server keeps its log open for writing; share both ways so that
  // neither side is refused.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail();
  Handle_ = reinterpret_cast<intptr_t>(h);
}

int64_t TSharedReadFile::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(Handle_), &size)) Fail();
  return size.QuadPart;
}

void TSharedReadFile::Seek(int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  if (!SetFilePointerEx(AsHandle(Handle_), to, nullptr, FILE_BEGIN)) Fail();
}

size_t TSharedReadFile::Read(void* buffer, size_t count) {
  DWORD n = 0;
  if (!ReadFile(AsHandle(Handle_), buffer, static_cast<DWORD>(count), &n, nullptr)) Fail();
  return n;
}

void TSharedReadFile::Close() {
  if (Handle_ != kNoHandle) CloseHandle(AsHandle(Handle_));
  Handle_ = kNoHandle;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

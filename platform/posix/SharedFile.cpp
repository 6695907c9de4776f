#include "platform/SharedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void Fail() { throw EFileError(std::strerror(errno)); }
}  // namespace

void TSharedReadFile::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail();
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw EFileError(std::strerror(error));
  }
  Handle_ = fd;
}

int64_t TSharedReadFile::Size() const {
  struct stat st;
  if (Handle_ == kNoHandle) throw EFileError(std::strerror(EBADF));
  if (::fstat(static_cast<int>(Handle_), &st) != 0) Fail();
  return static_cast<int64_t>(st.st_size);
}

void TSharedReadFile::Seek(int64_t position) {
  if (::lseek(static_cast<int>(Handle_), static_cast<off_t>(position), SEEK_SET) < 0) Fail();
}

size_t TSharedReadFile::Read(void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(static_cast<int>(Handle_), buffer, count);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) Fail();
  }
}

void TSharedReadFile::Close() {
  if (Handle_ != kNoHandle) ::close(static_cast<int>(Handle_));
  Handle_ = kNoHandle;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

#include "platform/SharedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {
[[noreturn]] void Fail() {
  throw EFileError(std::strerror(errno));
}
}  // namespace

void TSharedReadFile::Open(const std::string& path) {
  Close();
  // Without O_NONBLOCK a pipe of that name would hold the watcher until some
  // process opened its other end.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) Fail();
  struct stat st;
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (!S_ISREG(st.st_mode))
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    error = errno;
  if (error != 0) {
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

#include "platform/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
[[noreturn]] void Fail(int error) {
  throw EInOutError(std::strerror(error));
}

int OpenOrFail(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) Fail(errno);
  return fd;
}

// Returns 0, or the error number of the write that failed.
int WriteAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
  return 0;
}
}  // namespace

void MoveReplacing(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) Fail(errno);
}

void CopyReplacing(const std::string& from, const std::string& to) {
  int source = OpenOrFail(from, O_RDONLY);
  int target = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (target < 0) {
    int error = errno;
    ::close(source);
    Fail(error);
  }
  char block[64 * 1024];
  int error = 0;
  for (;;) {
    ssize_t got = ::read(source, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    if ((error = WriteAll(target, block, static_cast<size_t>(got))) != 0) break;
  }
  ::close(source);
  ::close(target);
  if (error != 0) Fail(error);
}

void EmptyFile(const std::string& path) {
  ::close(OpenOrFail(path, O_WRONLY | O_CREAT | O_TRUNC));
}

int64_t FileSizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
  int fd = OpenOrFail(path, O_WRONLY | O_CREAT | O_APPEND);
  int error = WriteAll(fd, bytes.data(), bytes.size());
  ::close(fd);
  if (error != 0) Fail(error);
}

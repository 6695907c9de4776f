#include "platform/TextFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

intptr_t TTextFile::RawCreate(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw EInOutError(std::strerror(errno));
  return fd;
}

void TTextFile::RawWrite(intptr_t handle, const char* data, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(static_cast<int>(handle), data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(std::strerror(errno));
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
}

void TTextFile::RawClose(intptr_t handle) {
  ::close(static_cast<int>(handle));
}

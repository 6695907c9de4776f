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

void TTextFile::RawReplace(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw EInOutError(std::strerror(errno));
}

void TTextFile::RawCopyReplace(const std::string& from, const std::string& to) {
  int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) throw EInOutError(std::strerror(errno));
  int target = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (target < 0) {
    int error = errno;
    ::close(source);
    throw EInOutError(std::strerror(error));
  }
  char block[64 * 1024];
  int error = 0;
  for (;;) {
    ssize_t got = ::read(source, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) error = errno;
      break;
    }
    try {
      RawWrite(target, block, static_cast<size_t>(got));
    } catch (const EInOutError&) {
      error = errno ? errno : EIO;
      break;
    }
  }
  ::close(source);
  ::close(target);
  if (error != 0) throw EInOutError(std::strerror(error));
}

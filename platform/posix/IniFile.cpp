#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <optional>

#include "platform/posix/IniText.h"

namespace {

// A descriptor closed when it goes out of scope.
class TFd {
 public:
  explicit TFd(int fd) : Fd_(fd) {}
  ~TFd() {
    if (Fd_ >= 0) ::close(Fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd_; }
  int Release() {
    int fd = Fd_;
    Fd_ = -1;
    return fd;
  }

 private:
  int Fd_;
};

// The whole file; nullopt when it is missing (or any parent is). Throws
// nothing: read errors come back as false.
bool ReadWhole(const std::string& path, std::optional<std::string>& bytes, struct stat& info) {
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    bytes.reset();
    return errno == ENOENT;
  }
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::string text;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  bytes = std::move(text);
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// The file the path finally names: the game server's folder may hold its
// configuration as a link, and replacing the link by a plain file would part
// the two.
std::string Target(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target(real);
  std::free(real);
  return target;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes bytes into a new file beside target and renames it over target, so
// that the file is always either the old one or the new one, never a part.
bool ReplaceAtomically(const std::string& target, const std::string& bytes,
                       const struct stat* original) {
  std::string folder = FolderOf(target);
  size_t slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = folder + "/." + name + ".XXXXXX";
  TFd fd(::mkostemp(&temp[0], O_CLOEXEC));
  if (fd.Get() < 0) return false;
  bool ok = WriteAll(fd.Get(), bytes);
  if (ok && original != nullptr) {
    // The replacement keeps the old file's permissions and, where allowed, its owner.
    ok = ::fchmod(fd.Get(), original->st_mode & 07777) == 0;
    if (ok && ::fchown(fd.Get(), original->st_uid, original->st_gid) != 0) {
      // Only the owner or root may give a file away; the mode is what counts.
    }
  } else if (ok) {
    ok = ::fchmod(fd.Get(), 0644) == 0;
  }
  ok = ok && ::fsync(fd.Get()) == 0;
  ok = ::close(fd.Release()) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself last across a power cut.
  TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
  return true;
}

}  // namespace

std::string TIniFile::ReadValue(const std::string& section, const std::string& key,
                                const std::string& def) const {
  std::optional<std::string> bytes;
  struct stat info;
  std::optional<std::string> value;
  if (ReadWhole(Path_, bytes, info) && bytes)
    value = IniText::Find(*bytes, section, key, kMaxValueLength);
  return value ? *value : IniText::Default(def, kMaxValueLength);
}

void TIniFile::WriteValue(const std::string& section, const std::string& key,
                          const std::string& value) {
  CheckStorable(section, key, value);
  std::string target = Target(Path_);
  std::optional<std::string> bytes;
  struct stat info;
  // A file that exists but cannot be read is not replaced: its other lines
  // would be lost.
  if (!ReadWhole(target, bytes, info)) FailWrite();
  // A read-only file stays as it is, as it would on Windows, although the
  // rename below could replace it.
  if (bytes && ::access(target.c_str(), W_OK) != 0) FailWrite();
  std::string updated = IniText::Store(bytes ? *bytes : std::string(), section, key, value);
  if (bytes && updated == *bytes) return;
  if (!ReplaceAtomically(target, updated, bytes ? &info : nullptr)) FailWrite();
}

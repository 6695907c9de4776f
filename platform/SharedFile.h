#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// A file operation of the platform failed; the message is the platform's text.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An existing file opened read-only while another process keeps writing it (the
// game server appends to its log the whole time): reading and writing stay open
// to others. Positions are 64-bit, so logs past 2 GiB are followed like others.
class TSharedReadFile {
 public:
  TSharedReadFile() = default;
  TSharedReadFile(const TSharedReadFile&) = delete;
  TSharedReadFile& operator=(const TSharedReadFile&) = delete;
  ~TSharedReadFile() { Close(); }

  // Throws EFileError when the file is missing, locked or not a regular file.
  void Open(const std::string& path);
  bool IsOpen() const { return Handle_ != kNoHandle; }
  // The file's current size; throws EFileError.
  int64_t Size() const;
  // Moves the read position; throws EFileError.
  void Seek(int64_t position);
  // Reads up to count bytes at the read position; 0 at the end. Throws EFileError.
  size_t Read(void* buffer, size_t count);
  void Close();

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t Handle_ = kNoHandle;
};

// True when path names an existing regular file (a directory does not count).
bool FileExists(const std::string& path);

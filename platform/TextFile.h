#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

// An input or output operation on a file failed; the message is the platform's
// text for the error.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text file written line by line: created when missing and emptied when
// present, CR LF after every line, written through a 128-byte buffer so that
// lines reach the disk when the buffer fills and when the file is closed.
class TTextFile {
 public:
  static constexpr size_t kBufferSize = 128;

  TTextFile() = default;
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;
  ~TTextFile();

  // Creates or empties the file; throws EInOutError.
  void Rewrite(const std::string& path);
  bool IsOpen() const;
  // Writes bytes and CR LF; throws EInOutError when the file is not open or the
  // disk refuses the buffer.
  void WriteLine(const std::string& bytes);
  // Writes what the buffer holds and closes the file. Every byte that can reach
  // the disk does, whatever fails; the first failure is thrown at the end.
  void Close();

 private:
  void PutBytes(const char* data, size_t count);
  void FlushBuffer();
  // The platform's part: open, write all, close (platform/*/TextFile.cpp).
  static intptr_t RawCreate(const std::string& path);
  static void RawWrite(intptr_t handle, const char* data, size_t count);
  static void RawClose(intptr_t handle);

  static constexpr intptr_t kNoHandle = -1;
  mutable std::mutex Mutex_;
  intptr_t Handle_ = kNoHandle;
  char Buffer_[kBufferSize];
  size_t Used_ = 0;
};

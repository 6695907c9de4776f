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
//
// With a rotation set, the file never grows past a size: before a line would
// take it past maxBytes, the file is closed, moved to the old path (replacing
// what was there) and started anew, so at most two files' worth of lines stay
// on the disk. Where the move is refused (a viewer that follows the file holds
// it open without sharing its deletion, or a backup or virus scanner holds it
// for a moment), its bytes are copied to the old path instead before it is
// emptied, so no line is lost.
class TTextFile {
 public:
  static constexpr size_t kBufferSize = 128;

  TTextFile() = default;
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;
  ~TTextFile();

  // Keeps the file at most maxBytes long from the next line on, moving full
  // files to oldPath; maxBytes 0 lets it grow without bound (the default).
  void SetRotation(const std::string& oldPath, uint64_t maxBytes);
  // Creates or empties the file; throws EInOutError. A file at the old path is
  // left alone.
  void Rewrite(const std::string& path);
  bool IsOpen() const;
  // Writes bytes and CR LF; throws EInOutError when the file is not open or the
  // disk refuses the buffer. A line is never split between two files.
  void WriteLine(const std::string& bytes);
  // Writes what the buffer holds to the disk; the file stays open. Throws
  // EInOutError when the disk refuses.
  void Flush();
  // Writes what the buffer holds and closes the file. Every byte that can reach
  // the disk does, whatever fails; the first failure is thrown at the end.
  void Close();

 private:
  void PutBytes(const char* data, size_t count);
  void FlushBuffer();
  void Rotate();
  // The platform's part: open, write all, close (platform/*/TextFile.cpp).
  static intptr_t RawCreate(const std::string& path);
  static void RawWrite(intptr_t handle, const char* data, size_t count);
  static void RawClose(intptr_t handle);

  static constexpr intptr_t kNoHandle = -1;
  mutable std::mutex Mutex_;
  intptr_t Handle_ = kNoHandle;
  char Buffer_[kBufferSize];
  size_t Used_ = 0;
  // Set while the file is open or lost in a rotation: the path to create again.
  std::string Path_;
  std::string OldPath_;
  uint64_t MaxBytes_ = 0;
  // Bytes in the file since it was emptied, those still in the buffer
  // included, so that the bound holds to the byte.
  uint64_t Size_ = 0;
};

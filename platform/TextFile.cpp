#include "platform/TextFile.h"

#include <algorithm>
#include <cstring>

TTextFile::~TTextFile() {
  try {
    Close();
  } catch (...) {
    // Nothing to report to from a destructor; Close was the owner's chance.
  }
}

void TTextFile::Rewrite(const std::string& path) {
  Close();
  std::lock_guard<std::mutex> lock(Mutex_);
  Handle_ = RawCreate(path);
  Used_ = 0;
}

bool TTextFile::IsOpen() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Handle_ != kNoHandle;
}

void TTextFile::WriteLine(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Handle_ == kNoHandle) throw EInOutError("File not open");
  PutBytes(bytes.data(), bytes.size());
  PutBytes("\r\n", 2);
}

void TTextFile::PutBytes(const char* data, size_t count) {
  while (count > 0) {
    if (Used_ == kBufferSize) FlushBuffer();
    size_t n = std::min(count, kBufferSize - Used_);
    std::memcpy(Buffer_ + Used_, data, n);
    Used_ += n;
    data += n;
    count -= n;
  }
}

void TTextFile::FlushBuffer() {
  size_t used = Used_;
  // The buffer is emptied even when the write fails, so that one bad write does
  // not make every later line fail on the same bytes.
  Used_ = 0;
  RawWrite(Handle_, Buffer_, used);
}

void TTextFile::Close() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Handle_ == kNoHandle) return;
  intptr_t handle = Handle_;
  try {
    if (Used_ > 0) FlushBuffer();
  } catch (...) {
    Handle_ = kNoHandle;
    RawClose(handle);
    throw;
  }
  Handle_ = kNoHandle;
  RawClose(handle);
}

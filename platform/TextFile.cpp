#include "platform/TextFile.h"

#include <algorithm>
#include <cstring>

#include "platform/FileOps.h"

TTextFile::~TTextFile() {
  try {
    Close();
  } catch (...) {
    // Nothing to report to from a destructor; Close was the owner's chance.
  }
}

void TTextFile::SetRotation(const std::string& oldPath, uint64_t maxBytes) {
  std::lock_guard<std::mutex> lock(Mutex_);
  OldPath_ = oldPath;
  MaxBytes_ = maxBytes;
}

void TTextFile::Rewrite(const std::string& path) {
  Close();
  std::lock_guard<std::mutex> lock(Mutex_);
  Handle_ = RawCreate(path);
  Path_ = path;
  Used_ = 0;
  Size_ = 0;
}

bool TTextFile::IsOpen() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return Handle_ != kNoHandle;
}

void TTextFile::WriteLine(const std::string& bytes) {
  // Both writers of the response file (the receive thread and the pong's line
  // on the user-interface thread) come through here: the lock keeps a rotation
  // and the lines around it in one order.
  std::lock_guard<std::mutex> lock(Mutex_);
  const uint64_t lineSize = bytes.size() + 2;
  if (Handle_ == kNoHandle) {
    if (Path_.empty()) throw EInOutError("File not open");
    // A rotation moved the full file away but could not start the next one;
    // every line tries again, so a passing refusal costs only the lines it met.
    Handle_ = RawCreate(Path_);
  } else if (MaxBytes_ > 0 && Size_ > 0 && Size_ + lineSize > MaxBytes_) {
    // A line longer than the bound alone is written whole into a file of its
    // own, which it takes past the bound; the next line moves that file away in
    // turn. Cutting or dropping it would lose the message, and the receive
    // thread cuts messages far below any bound in use.
    Rotate();
  }
  // Counted before the write: a write that fails half-way leaves fewer bytes
  // than counted, never more.
  Size_ += lineSize;
  PutBytes(bytes.data(), bytes.size());
  PutBytes("\r\n", 2);
}

void TTextFile::Rotate() {
  try {
    if (Used_ > 0) FlushBuffer();
  } catch (const EInOutError&) {
    // The old file's last bytes did not reach the disk (a full disk, say, which
    // is what the rotation is for). They are given up rather than the line that
    // waits: a line not written is a message not handed over.
  }
  RawClose(Handle_);
  Handle_ = kNoHandle;
  Size_ = 0;
  try {
    RotateKeepingLines(Path_, OldPath_);
  } catch (const EInOutError&) {
    // Not even emptied: the create below empties it, or says why it cannot.
  }
  Handle_ = RawCreate(Path_);
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

void TTextFile::Flush() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Handle_ != kNoHandle && Used_ > 0) FlushBuffer();
}

void TTextFile::Close() {
  std::lock_guard<std::mutex> lock(Mutex_);
  Path_.clear();
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

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SharedFile.h"

// The game server's log as one pass of the watcher uses it: opened, sized, read
// and closed again, so that the server may rename, shorten or replace it between
// passes. Every operation throws EFileError when the platform refuses it.
class TLogFile {
 public:
  virtual ~TLogFile() = default;
  virtual void Open(const std::string& path) = 0;
  virtual int64_t Size() = 0;
  virtual void Seek(int64_t position) = 0;
  // Up to count bytes at the read position; 0 at the end of the file.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual void Close() = 0;
};

// The log on disk, shared with the game server that keeps writing it.
class TSharedLogFile : public TLogFile {
 public:
  void Open(const std::string& path) override { File_.Open(path); }
  int64_t Size() override { return File_.Size(); }
  void Seek(int64_t position) override { File_.Seek(position); }
  size_t Read(void* buffer, size_t count) override { return File_.Read(buffer, count); }
  void Close() override { File_.Close(); }

 private:
  TSharedReadFile File_;
};

#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes. Works on both platforms.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return Path_; }
  // Path of a file in the folder.
  std::string File(const std::string& name) const;

 private:
  std::string Path_;
};

// Makes a folder the working directory for as long as the object lives: the
// controller looks for "./Brennak.ini" and writes "./response.txt" there.
class TWorkingDirectory {
 public:
  explicit TWorkingDirectory(const std::string& path);
  ~TWorkingDirectory();
  TWorkingDirectory(const TWorkingDirectory&) = delete;
  TWorkingDirectory& operator=(const TWorkingDirectory&) = delete;

 private:
  std::string Previous_;
};

// Whole-file helpers for tests; binary, no line-end translation.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void AppendFileBytes(const std::string& path, const std::string& bytes);

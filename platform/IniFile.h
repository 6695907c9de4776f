#pragma once

#include <stdexcept>
#include <string>

// A write to the profile file failed: "Unable to write to %s", the path as passed.
class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The game server's profile file ("./Brennak.ini"), opened for one load or one
// save. Section and key names match without regard to case. On Windows the
// platform's profile functions do the work; elsewhere our own reader and writer
// behave like them on the cases that matter.
class TIniFile {
 public:
  explicit TIniFile(std::string path) : Path_(std::move(path)) {}

  const std::string& Path() const { return Path_; }
  // The key's value (at most 2047 characters), or def when the file, the
  // section or the key is missing. A key present with an empty value gives "".
  std::string ReadValue(const std::string& section, const std::string& key,
                        const std::string& def) const;
  // Sets the value, adding the section and the key when missing. Throws
  // EIniFileException when the file cannot be written.
  void WriteValue(const std::string& section, const std::string& key, const std::string& value);

  static constexpr size_t kMaxValueLength = 2047;

 private:
  std::string Path_;
};

#pragma once

#include <cstddef>
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
// behave like them on the cases that matter. A relative path is taken from the
// working directory on both (Windows would look for a bare name in its own
// folder).
class TIniFile {
 public:
  explicit TIniFile(std::string path) : Path_(std::move(path)) {}

  const std::string& Path() const { return Path_; }
  // The key's value (at most 2047 characters), or def when the file, the
  // section or the key is missing. A key present with an empty value gives "".
  // Blanks around the value and one pair of matching quotes (" or ') around it
  // are removed; def goes through the same reader, which drops its trailing
  // spaces and its surrounding quotes.
  std::string ReadValue(const std::string& section, const std::string& key,
                        const std::string& def) const;
  // Sets the value, adding the section and the key when missing (a missing
  // file is created). Throws EIniFileException when the file cannot be written,
  // and also for a section, key or value holding a line break or a NUL: such a
  // text would turn into other lines of the game server's configuration.
  void WriteValue(const std::string& section, const std::string& key, const std::string& value);

  static constexpr size_t kMaxValueLength = 2047;

 private:
  // Throws the write error when one of the texts cannot be stored on one line.
  void CheckStorable(const std::string& section, const std::string& key,
                     const std::string& value) const;
  [[noreturn]] void FailWrite() const;

  std::string Path_;
};

#include "platform/IniFile.h"

void TIniFile::CheckStorable(const std::string& section, const std::string& key,
                             const std::string& value) const {
  for (const std::string* text : {&section, &key, &value})
    if (text->find_first_of(std::string("\r\n\0", 3)) != std::string::npos) FailWrite();
}

void TIniFile::FailWrite() const {
  throw EIniFileException("Unable to write to " + Path_);
}

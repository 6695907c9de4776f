#include "platform/IniFile.h"

#include <windows.h>

namespace {

// The profile functions look for a name without a folder in the Windows folder,
// and their idea of a relative path is not documented; an absolute path makes
// them use the working directory, as the settings file must.
std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return path;
  return std::string(buffer, n);
}

}  // namespace

std::string TIniFile::ReadValue(const std::string& section, const std::string& key,
                                const std::string& def) const {
  char buffer[kMaxValueLength + 1];
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer,
                                     sizeof buffer, FullPath(Path_).c_str());
  return std::string(buffer, n);
}

void TIniFile::WriteValue(const std::string& section, const std::string& key,
                          const std::string& value) {
  CheckStorable(section, key, value);
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                  FullPath(Path_).c_str()))
    FailWrite();
}

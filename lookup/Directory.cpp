#include "lookup/Directory.h"

std::string DirectoryBaseUrl() {
  return std::string("http://") + kDirectoryHost;
}

std::string DirectoryUrl(const std::string& baseUrl) {
  return baseUrl + kDirectoryScript + kDirectoryQuery;
}

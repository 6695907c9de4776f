#include "tools/directory/HttpRequest.h"

#include <sstream>

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string TrimBlanks(const std::string& s) {
  size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

std::string THttpRequest::Header(const std::string& name) const {
  std::string wanted = Lower(name);
  for (const auto& header : Headers)
    if (Lower(header.first) == wanted) return header.second;
  return "";
}

bool THttpRequest::KeepAlive() const {
  std::string connection = Lower(Header("Connection"));
  if (Version == "HTTP/1.0") return connection == "keep-alive";
  return connection != "close";
}

bool ParseRequestHead(const std::string& head, THttpRequest& request) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= head.size()) {
    size_t end = head.find('\n', start);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  std::istringstream first(lines[0]);
  std::string extra;
  if (!(first >> request.Method >> request.Target >> request.Version) || (first >> extra))
    return false;
  if (request.Version.compare(0, 5, "HTTP/") != 0 || request.Target.empty()) return false;
  request.Headers.clear();
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !request.Headers.empty()) {
      request.Headers.back().second += " " + TrimBlanks(line);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    request.Headers.emplace_back(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
  }
  return true;
}

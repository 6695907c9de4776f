#pragma once

#include <string>
#include <utility>
#include <vector>

// One request head as a client sent it: the request line and the header
// lines, without the empty line that ends them.
struct THttpRequest {
  std::string Method;
  std::string Target;
  std::string Version;
  std::vector<std::pair<std::string, std::string>> Headers;

  // The first header of that name, compared without regard to case, trimmed;
  // "" when there is none.
  std::string Header(const std::string& name) const;
  // HTTP/1.1 keeps the connection unless the client says "close"; HTTP/1.0
  // closes it unless the client asks for "keep-alive".
  bool KeepAlive() const;
};

// head: the bytes before the first empty line. False when the request line is
// not "METHOD TARGET HTTP/x.y" or a header line has no ":".
bool ParseRequestHead(const std::string& head, THttpRequest& request);

#pragma once

#include <string>

// The parts of a URL the GET client needs. The request target is kept exactly
// as written (query included, never percent-encoded); the fragment is dropped.
struct TIdURI {
  std::string Protocol;  // "http"
  std::string Username;
  std::string Password;
  std::string Host;
  std::string Port;    // as written; "80" when the URL gives none
  std::string Target;  // from the first "/" after the host up to "#"; "/" at least

  // The "Host" header's value: the host, with ":" and the port unless it is "80".
  std::string HostHeader() const;
  // The target without its query, for matching cookie paths.
  std::string Path() const;
  int PortNumber() const;
};

// Splits url after turning every backslash into a slash. Fails with
// EIdURIException when there is no "://", the scheme is not "http", the host
// is empty or the port is not a number from 1 to 65535.
TIdURI SplitUrl(const std::string& url);

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One cookie a server has set. Times are seconds since 1970-01-01 UTC.
struct TIdCookie {
  std::string Name;
  std::string Value;
  std::string Domain;  // lower case, without a leading "."
  std::string Path;
  bool Persistent = false;  // has an expiry; otherwise it lives as long as the store
  int64_t Expires = 0;
};

// The cookies that replies have set, kept in memory for the client's life and
// never written anywhere.
class TIdCookieManager {
 public:
  // Takes one "Set-Cookie" or "Set-Cookie2" value from a reply to a request
  // for host and path. A cookie without a domain of its own gets the host; one
  // whose domain does not match the host is refused, so that no server sets
  // cookies for another. A cookie that is already expired removes the stored
  // one of the same name, domain and path.
  void AddServerCookie(const std::string& header, const std::string& host, const std::string& path,
                       int64_t now);
  // The value of the "Cookie" header for a request to host and path: name "="
  // value of every matching cookie, joined by "; "; "" when none matches.
  // Expired cookies are removed first.
  std::string CookieHeader(const std::string& host, const std::string& path, int64_t now);

  const std::vector<TIdCookie>& Cookies() const { return Cookies_; }

 private:
  std::vector<TIdCookie> Cookies_;
};

// Whether host lies in domain: equal to it, or a name ending in "." + domain
// (no case). A dotted address matches only itself.
bool DomainMatches(const std::string& host, const std::string& domain);

// Reads a cookie date the way browsers do ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"). False when no
// valid date can be made of it.
bool ParseCookieDate(const std::string& text, int64_t& seconds);

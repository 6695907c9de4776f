#include "lookup/HttpCookies.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "session/StrUtils.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

bool IsDottedAddress(const std::string& host) {
  int parts = 0;
  size_t pos = 0;
  while (pos <= host.size()) {
    const size_t dot = std::min(host.find('.', pos), host.size());
    const std::string part = host.substr(pos, dot - pos);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); }))
      return false;
    ++parts;
    pos = dot + 1;
  }
  return parts == 4;
}

// The folder of the request path: a cookie without a path of its own belongs there.
std::string DefaultPath(const std::string& requestPath) {
  if (requestPath.empty() || requestPath[0] != '/') return "/";
  const size_t slash = requestPath.rfind('/');
  return slash == 0 ? "/" : requestPath.substr(0, slash);
}

bool ReadMaxAge(const std::string& text, int64_t now, int64_t& expires) {
  size_t i = text[0] == '-' ? 1 : 0;
  if (i >= text.size()) return false;
  int64_t delta = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    // A delta too large to add is as good as never expiring.
    if (delta < std::numeric_limits<int32_t>::max()) delta = delta * 10 + (text[i] - '0');
  }
  expires = text[0] == '-' || delta == 0 ? std::numeric_limits<int64_t>::min() : now + delta;
  return true;
}

struct TSplitCookie {
  TIdCookie Cookie;
  bool HasDomain = false;
};

bool ParseSetCookie(const std::string& header, const std::string& requestPath, int64_t now,
                    TSplitCookie& out) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    const size_t semi = header.find(';', pos);
    parts.push_back(header.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos));
    if (semi == std::string::npos) break;
    pos = semi + 1;
  }
  const size_t eq = parts[0].find('=');
  if (eq == std::string::npos) return false;
  TIdCookie& c = out.Cookie;
  c.Name = Str::Trim(parts[0].substr(0, eq));
  c.Value = Unquote(Str::Trim(parts[0].substr(eq + 1)));
  if (c.Name.empty()) return false;
  c.Path = DefaultPath(requestPath);

  bool haveMaxAge = false;
  for (size_t i = 1; i < parts.size(); ++i) {
    const size_t aeq = parts[i].find('=');
    const std::string name = Lower(Str::Trim(parts[i].substr(0, aeq)));
    const std::string value =
        aeq == std::string::npos ? "" : Unquote(Str::Trim(parts[i].substr(aeq + 1)));
    int64_t when = 0;
    if (name == "max-age" && !value.empty() && ReadMaxAge(value, now, when)) {
      haveMaxAge = true;
      c.Persistent = true;
      c.Expires = when;
    } else if (name == "expires" && !haveMaxAge && ParseCookieDate(value, when)) {
      c.Persistent = true;
      c.Expires = when;
    } else if (name == "domain" && !value.empty()) {
      std::string domain = Lower(value);
      if (domain[0] == '.') domain.erase(0, 1);
      if (!domain.empty()) {
        c.Domain = domain;
        out.HasDomain = true;
      }
    } else if (name == "path") {
      c.Path = !value.empty() && value[0] == '/' ? value : DefaultPath(requestPath);
    }
  }
  return true;
}

bool Expired(const TIdCookie& c, int64_t now) {
  return c.Persistent && c.Expires <= now;
}

}  // namespace

bool DomainMatches(const std::string& host, const std::string& domain) {
  const std::string h = Lower(host);
  const std::string d = Lower(domain);
  if (d.empty()) return false;
  if (h == d) return true;
  if (IsDottedAddress(h)) return false;
  return h.size() > d.size() + 1 && h.compare(h.size() - d.size(), d.size(), d) == 0 &&
         h[h.size() - d.size() - 1] == '.';
}

void TIdCookieManager::AddServerCookie(const std::string& header, const std::string& host,
                                       const std::string& path, int64_t now) {
  TSplitCookie parsed;
  if (!ParseSetCookie(header, path, now, parsed)) return;
  TIdCookie& cookie = parsed.Cookie;
  if (!parsed.HasDomain) {
    cookie.Domain = Lower(host);
  } else if (!DomainMatches(host, cookie.Domain)) {
    return;
  }
  auto same = std::find_if(Cookies_.begin(), Cookies_.end(), [&](const TIdCookie& c) {
    return c.Name == cookie.Name && c.Domain == cookie.Domain && c.Path == cookie.Path;
  });
  if (Expired(cookie, now)) {
    if (same != Cookies_.end()) Cookies_.erase(same);
  } else if (same != Cookies_.end()) {
    *same = cookie;
  } else {
    Cookies_.push_back(cookie);
  }
}

std::string TIdCookieManager::CookieHeader(const std::string& host, const std::string& path,
                                           int64_t now) {
  Cookies_.erase(std::remove_if(Cookies_.begin(), Cookies_.end(),
                                [now](const TIdCookie& c) { return Expired(c, now); }),
                 Cookies_.end());
  std::string header;
  for (const TIdCookie& c : Cookies_) {
    if (!DomainMatches(host, c.Domain) || path.compare(0, c.Path.size(), c.Path) != 0) continue;
    if (!header.empty()) header += "; ";
    header += c.Name + "=" + c.Value;
  }
  return header;
}

#include "lookup/HttpUrl.h"

#include <algorithm>
#include <cctype>

#include "lookup/HttpErrors.h"
#include "session/IntConv.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool AllDigits(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string TIdURI::HostHeader() const {
  return Port == "80" ? Host : Host + ":" + Port;
}

std::string TIdURI::Path() const {
  return Target.substr(0, Target.find('?'));
}

int TIdURI::PortNumber() const {
  return StrToInt(Port);
}

TIdURI SplitUrl(const std::string& url) {
  std::string text = url;
  std::replace(text.begin(), text.end(), '\\', '/');

  TIdURI uri;
  const size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string::npos) throw EIdURIException(url);
  uri.Protocol = text.substr(0, schemeEnd);
  if (Lower(uri.Protocol) != "http") throw EIdURIException(url);

  // The authority ends where the target, a query or a fragment begins.
  const size_t authorityStart = schemeEnd + 3;
  size_t authorityEnd = text.find_first_of("/?#", authorityStart);
  if (authorityEnd == std::string::npos) authorityEnd = text.size();
  std::string authority = text.substr(authorityStart, authorityEnd - authorityStart);

  std::string rest = text.substr(authorityEnd);
  rest = rest.substr(0, rest.find('#'));
  if (rest.empty() || rest[0] != '/') rest = "/" + rest;
  uri.Target = rest;

  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    authority.erase(0, at + 1);
    const size_t colon = userInfo.find(':');
    uri.Username = userInfo.substr(0, colon);
    if (colon != std::string::npos) uri.Password = userInfo.substr(colon + 1);
  }

  const size_t colon = authority.rfind(':');
  if (colon != std::string::npos) {
    uri.Host = authority.substr(0, colon);
    uri.Port = authority.substr(colon + 1);
    if (uri.Port.empty()) uri.Port = "80";
    // The port of a URL is decimal only; the integer conversion would also take "$50".
    if (!AllDigits(uri.Port) || uri.Port.size() > 5) throw EIdURIException(url);
    const int port = StrToInt(uri.Port);
    if (port < 1 || port > 65535) throw EIdURIException(url);
  } else {
    uri.Host = authority;
    uri.Port = "80";
  }
  if (uri.Host.empty()) throw EIdURIException(url);
  return uri;
}

#include "lookup/HttpReply.h"

#include "session/IntConv.h"
#include "session/StrUtils.h"

int StatusCodeOf(const std::string& statusLine) {
  const size_t first = statusLine.find(' ');
  if (first == std::string::npos) return -1;
  const size_t second = statusLine.find(' ', first + 1);
  const std::string token = statusLine.substr(
      first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  return StrToIntDef(token, -1);
}

void TIdHTTPResponse::Start(const std::string& statusLine) {
  *this = TIdHTTPResponse();
  StatusLine = statusLine;
  ResponseCode = StatusCodeOf(statusLine);
}

void TIdHTTPResponse::ReadHeaderValues() {
  Location = HeaderValue(RawHeaders, "Location");
  Connection = HeaderValue(RawHeaders, "Connection");
  ProxyConnection = HeaderValue(RawHeaders, "Proxy-Connection");
  ContentLength = StrToIntDef(HeaderValue(RawHeaders, "Content-Length"), -1);
}

bool TIdHTTPResponse::AllowsKeepAlive(bool connected) const {
  return connected && !SameText(Str::Trim(Connection), "close") &&
         !SameText(Str::Trim(ProxyConnection), "close");
}

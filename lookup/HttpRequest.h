#pragma once

#include <string>

#include "lookup/HttpUrl.h"

// The request settings of the GET client, with the values the controller uses.
struct TIdHTTPRequest {
  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; ORVANE)";
  // Sent on the GET as well: the directory has always seen it.
  std::string ContentType = "text/html";
  // Below 0: no "Content-Length" header; a GET never sends one anyway.
  int ContentLength = -1;
};

// The whole request, request line to empty line, every line ended by CR LF:
// "GET " target " HTTP/" version, then "Content-Type", "Host", "Accept",
// "User-Agent" and "Cookie" in this order, each only when its value is not
// empty. The target goes out exactly as written.
std::string BuildGetRequest(const TIdHTTPRequest& request, const std::string& protocolVersion,
                            const TIdURI& uri, const std::string& cookies);

#pragma once

#include <string>

#include "lookup/HttpHeaders.h"

// What the client keeps of the last reply it read.
struct TIdHTTPResponse {
  std::string StatusLine;  // as received, without its line end
  int ResponseCode = -1;   // second blank-separated token of the status line; -1 if no number
  TIdHeaderLines RawHeaders;
  std::string Location;
  std::string Connection;
  std::string ProxyConnection;
  int ContentLength = -1;  // -1 when missing or not a number
  std::string Body;
  // The server closed the connection before the empty line ended the header block.
  bool ClosedInHead = false;

  // Sets the status line and code, and empties everything else.
  void Start(const std::string& statusLine);
  // Takes Location, Connection, Proxy-Connection and Content-Length from the header lines.
  void ReadHeaderValues();
  // Whether the connection may carry the next request: it is still open and
  // neither "Connection" nor "Proxy-Connection" says "close" (any case).
  bool AllowsKeepAlive(bool connected) const;
};

int StatusCodeOf(const std::string& statusLine);

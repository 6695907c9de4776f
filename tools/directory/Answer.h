#pragma once

#include <string>

#include "tools/directory/HttpRequest.h"
#include "tools/directory/Options.h"

// What the directory does with one request.
struct TAnswer {
  int Status = 200;
  std::string Body;
  // Read the request and say nothing (the silent directory).
  bool Silent = false;
  // Begin the reply and never end it (the dripping directory).
  bool Drip = false;
};

// The body of a successful lookup: the chat server and the caller's address,
// keys in the order the controller reads them.
std::string LookupBody(const std::string& chatAddress, const std::string& chatPort,
                       const std::string& callerAddress);

// callerAddress: the client's IPv4 address as this server sees it.
TAnswer AnswerRequest(const THttpRequest& request, const TDirectoryOptions& options,
                      const std::string& callerAddress);

// The reply's bytes: status line, Content-Length (none on 204), Connection:
// close when the connection ends after it. A HEAD request gets the head only.
std::string FormatAnswer(const TAnswer& answer, bool headOnly, bool keepAlive);

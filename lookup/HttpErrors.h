#pragma once

#include <string>

#include "chat/IdErrors.h"

// A reply whose status the client does not accept (anything but 200 to 299
// without "Location"). The message is the reply's status line; the code and
// the body that came with it are kept for whoever wants to look.
class EIdHTTPProtocolException : public EIdException {
 public:
  EIdHTTPProtocolException(const std::string& statusLine, int code, std::string body);
  int ErrorCode() const { return Code_; }
  const std::string& Body() const { return Body_; }

 private:
  int Code_;
  std::string Body_;
};

// A success status on a connection the server closed before the header block
// ended: nothing says where a body would be.
class EIdHTTPUndefinedSituation : public EIdException {
 public:
  EIdHTTPUndefinedSituation();
};

// A reply body (or reply head) that would grow past kMaxReplyBytes. The
// directory answers with a few hundred bytes; anything this large is a broken
// or hostile server and must not exhaust the controller's memory.
class EIdHTTPReplyTooLarge : public EIdException {
 public:
  explicit EIdHTTPReplyTooLarge(const std::string& what);
};

// A chunk-size line that is not a hexadecimal number, or one too large to
// represent.
class EIdHTTPInvalidChunkSize : public EIdException {
 public:
  explicit EIdHTTPInvalidChunkSize(const std::string& line);
};

// A URL the client cannot fetch: no "://", another scheme than "http", no
// host, or a port that is not a number from 1 to 65535.
class EIdURIException : public EIdException {
 public:
  explicit EIdURIException(const std::string& url);
};

constexpr size_t kMaxReplyBytes = 16u * 1024u * 1024u;

#include "lookup/Http.h"

#include <algorithm>
#include <ctime>

#include "session/StrUtils.h"

namespace {

// An error reply's body is read with a short time-out of its own: the server
// may keep the connection open without saying how long the body is.
constexpr int kErrorBodyTimeoutMs = 2000;

class TReadTimeoutScope {
 public:
  TReadTimeoutScope(int& timeout, int value) : Timeout_(timeout), Saved_(timeout) {
    Timeout_ = value;
  }
  ~TReadTimeoutScope() { Timeout_ = Saved_; }
  TReadTimeoutScope(const TReadTimeoutScope&) = delete;
  TReadTimeoutScope& operator=(const TReadTimeoutScope&) = delete;

 private:
  int& Timeout_;
  int Saved_;
};

int64_t Now() {
  return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

TIdHTTP::TIdHTTP() {
  Port = 80;
}

TIdHTTP::~TIdHTTP() {
  CloseConnection();
}

std::string TIdHTTP::FetchUrl(const std::string& url) {
  const TIdURI uri = SplitUrl(url);
  try {
    PrepareConnection(uri);
    const std::string cookies =
        AllowCookies ? Cookies_.CookieHeader(uri.Host, uri.Path(), Now()) : "";
    SendBlock(BuildGetRequest(Request, ProtocolVersion, uri, cookies));
    HeadBytes_ = 0;
    ReadReplyHead(uri);
  } catch (...) {
    // The connection is out of step with the request: never reuse it.
    CloseConnection();
    throw;
  }
  return ReadReply();
}

void TIdHTTP::PrepareConnection(const TIdURI& uri) {
  const int port = uri.PortNumber();
  if (!SameText(Host, uri.Host) || Port != port) {
    CloseConnection();
    Host = uri.Host;
    Port = port;
  }
  if (HaveReply_ && !Response_.AllowsKeepAlive(IsConnected())) CloseConnection();
  // The server may have closed a kept-alive connection since the last reply.
  if (IsConnected()) PollForClose();
  if (!IsConnected()) OpenConnection();
}

std::string TIdHTTP::ReceiveCountedLine() {
  std::string line = ReceiveLine();
  // Each kept line costs its string object too, so that a head of many short
  // lines is held to the same memory as one of few long ones.
  HeadBytes_ += line.size() + sizeof(std::string);
  if (HeadBytes_ > kMaxReplyBytes) throw EIdHTTPReplyTooLarge("header");
  return line;
}

void TIdHTTP::ReadReplyHead(const TIdURI& uri) {
  do {
    const std::string statusLine = ReceiveCountedLine();
    Response_.Start(statusLine);
    HaveReply_ = true;
    ReadHeaderBlock();
    Response_.ReadHeaderValues();
    if (AllowCookies) TakeCookies(uri);
  } while (Response_.ResponseCode == 100);
}

void TIdHTTP::ReadHeaderBlock() {
  for (;;) {
    std::string line;
    try {
      line = ReceiveCountedLine();
    } catch (const EIdConnClosedGracefully&) {
      // A server that closes in the middle of the head has said all it will.
      Response_.ClosedInHead = true;
      return;
    }
    if (line.empty()) {
      Response_.ClosedInHead = !IsConnected();
      return;
    }
    Response_.RawHeaders.push_back(line);
  }
}

void TIdHTTP::TakeCookies(const TIdURI& uri) {
  const int64_t now = Now();
  for (const char* name : {"Set-Cookie", "Set-Cookie2"}) {
    for (const std::string& value : HeaderValues(Response_.RawHeaders, name))
      Cookies_.AddServerCookie(value, uri.Host, uri.Path(), now);
  }
}

std::string TIdHTTP::ReadReply() {
  const int code = Response_.ResponseCode;
  try {
    if (Response_.Location.empty() && code >= 200 && code <= 299) {
      // Without the rest of the head nothing says where a body would end.
      if (Response_.ClosedInHead || !IsConnected()) throw EIdHTTPUndefinedSituation();
      if (code != 204) ReadBody(Response_.Body, false);
      ApplyKeepAlive();
      return Response_.Body;
    }
    {
      TReadTimeoutScope timeout(ReadTimeout, kErrorBodyTimeoutMs);
      ReadBody(Response_.Body, true);
    }
  } catch (...) {
    // The rest of a reply that was not read to its end must not be taken for
    // the next one.
    CloseConnection();
    throw;
  }
  ApplyKeepAlive();
  throw EIdHTTPProtocolException(Response_.StatusLine, code, Response_.Body);
}

void TIdHTTP::ApplyKeepAlive() {
  if (!Response_.AllowsKeepAlive(IsConnected())) CloseConnection();
}

void TIdHTTP::ReadBody(std::string& into, bool lenient) {
  if (Response_.ContentLength > 0) {
    const size_t length = static_cast<size_t>(Response_.ContentLength);
    if (length > kMaxReplyBytes) throw EIdHTTPReplyTooLarge("body");
    try {
      ReceiveBytes(length, into);
    } catch (const EIdConnClosedGracefully&) {
      if (!lenient) throw;
    }
    // A close before the announced length is a cut reply, not a short body:
    // a 2xx reply cut short fails the request too, so that half an answer of
    // the directory is never taken for its values.
    if (into.size() < length && !lenient) throw EIdConnClosedGracefully();
  } else if (Str::Contains(HeaderValue(Response_.RawHeaders, "Transfer-Encoding"), "chunked")) {
    ReadChunkedBody(into);
  } else if (Response_.ContentLength < 0) {
    ReadBodyUntilClose(into);
  }
}

void TIdHTTP::ReadChunkedBody(std::string& into) {
  for (;;) {
    const uint64_t size = ParseChunkSize(ReceiveLine());
    if (size == 0) break;
    if (size > kMaxReplyBytes - into.size()) throw EIdHTTPReplyTooLarge("body");
    const size_t wanted = into.size() + static_cast<size_t>(size);
    ReceiveBytes(static_cast<size_t>(size), into);
    if (into.size() < wanted) throw EIdConnClosedGracefully();
    ReceiveLine();  // the line end after the chunk's data
  }
  // The trailer: header lines up to and including an empty line.
  for (;;) {
    const std::string line = ReceiveCountedLine();
    if (line.empty()) {
      // An empty line made of the server's close is not the end of the reply.
      if (!IsConnected()) throw EIdConnClosedGracefully();
      return;
    }
  }
}

void TIdHTTP::ReadBodyUntilClose(std::string& into) {
  const size_t block = static_cast<size_t>(std::max(RecvBufferSize, 1));
  for (;;) {
    // Never ask for more than one byte past the limit, so the body can be
    // refused before it has grown further.
    const size_t wanted = std::min(block, kMaxReplyBytes + 1 - into.size());
    const size_t before = into.size();
    try {
      ReceiveBytes(wanted, into);
    } catch (const EIdConnClosedGracefully&) {
      // The close cut the last block short; what came of it is in the input buffer.
      ReceiveUntilClose(into);
      if (into.size() > kMaxReplyBytes) throw EIdHTTPReplyTooLarge("body");
      return;
    }
    if (into.size() > kMaxReplyBytes) throw EIdHTTPReplyTooLarge("body");
    if (into.size() - before < wanted) return;  // the connection had already closed
  }
}

#pragma once

#include <cstdint>
#include <string>

#include "chat/TcpConnection.h"
#include "lookup/HttpCookies.h"
#include "lookup/HttpErrors.h"
#include "lookup/HttpReply.h"
#include "lookup/HttpRequest.h"
#include "lookup/HttpUrl.h"

enum TIdHTTPOption { hoForceEncodeParams = 1 };

struct TIdProxyParams {
  std::string ProxyServer;  // empty: connect straight to the host
  int ProxyPort = 0;
};

// The HTTP/1.1 GET client over one connection of the line client. FetchUrl
// returns the body of a successful reply and raises an error for every other
// outcome; between requests the connection stays open when the server allows
// it, and the cookies the server set are kept. One request at a time, on one
// thread; every step blocks.
//
// The connection's settings (Host, Port, ReadTimeout, RecvBufferSize,
// MaxLineLength, MaxLineAction) are the client's own. The values below are the
// ones the controller uses.
class TIdHTTP : public TIdTCPClient {
 public:
  TIdHTTP();
  ~TIdHTTP() override;

  std::string ProtocolVersion = "1.1";
  // Redirects are not followed and no credentials are ever sent; these two are
  // kept as settings only.
  bool HandleRedirects = false;
  int RedirectMaximum = 15;
  int AuthRetries = 3;
  bool AllowCookies = true;
  // A GET's target goes out as written whatever these say.
  unsigned HTTPOptions = hoForceEncodeParams;
  // No proxy is ever used: the client connects straight to the host.
  TIdProxyParams ProxyParams;
  TIdHTTPRequest Request;

  // GETs url and returns the reply's body. Fails with the line client's errors
  // (connect, read, write, "Max line length exceeded."), EIdHTTPProtocolException
  // for a status it does not accept, EIdHTTPUndefinedSituation, EIdURIException,
  // EIdHTTPInvalidChunkSize and EIdHTTPReplyTooLarge.
  std::string FetchUrl(const std::string& url);
  // The status code of the last reply read (-1 before any).
  int LastStatusCode() const { return Response_.ResponseCode; }
  const TIdHTTPResponse& Response() const { return Response_; }
  TIdCookieManager& CookieManager() { return Cookies_; }

 private:
  void PrepareConnection(const TIdURI& uri);
  void ReadReplyHead(const TIdURI& uri);
  void ReadHeaderBlock();
  void TakeCookies(const TIdURI& uri);
  std::string ReadReply();
  // lenient: a Content-Length body cut short by the server's close is kept as
  // far as it came instead of failing (an error reply is an error either way).
  void ReadBody(std::string& into, bool lenient);
  void ReadChunkedBody(std::string& into);
  void ReadBodyUntilClose(std::string& into);
  std::string ReceiveCountedLine();
  void ApplyKeepAlive();

  TIdHTTPResponse Response_;
  bool HaveReply_ = false;
  size_t HeadBytes_ = 0;  // bytes of head lines read for the current request
  TIdCookieManager Cookies_;
};

// Reads a chunk-size line: hexadecimal digits up to the first blank, tab or
// ";" (a chunk extension follows). Fails with EIdHTTPInvalidChunkSize when that
// is not a hexadecimal number or does not fit in 64 bits.
uint64_t ParseChunkSize(const std::string& line);

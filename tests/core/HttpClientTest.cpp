#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "lookup/Http.h"
#include "support/HttpExpect.h"
#include "support/HttpMemoryServer.h"

// The GET client against scripted peers: what goes out, how replies are read,
// which outcomes are errors, and when the connection is kept.

namespace {

const char* const kDirectoryUrl =
    "http://dir.example/Other/Quelmo/readdb_Quelmo.asp"
    "?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1";

const char* const kDirectoryRequest =
    "GET /Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1"
    " HTTP/1.1\r\n"
    "Content-Type: text/html\r\n"
    "Host: dir.example\r\n"
    "Accept: text/html, */*\r\n"
    "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
    "\r\n";

const std::string kOk5 = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";

}  // namespace

class HttpClient : public ::testing::Test {
 protected:
  THttpMemoryRig Rig;
  TIdHTTP& Http = Rig.Http;
};

TEST_F(HttpClient, DirectoryRequestIsSentByteForByteInOneBlock) {
  auto peer = Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n&my_ip=x"});
  EXPECT_EQ(Http.FetchUrl(kDirectoryUrl), "&my_ip=x");
  EXPECT_EQ(peer->Sent(), kDirectoryRequest);
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_EQ(Rig.Stack->Lookups(), std::vector<std::string>{"dir.example"});
  ASSERT_EQ(Rig.Connects(), 1u);
  EXPECT_EQ(Rig.Stack->Connects()[0].second, 80);
}

TEST_F(HttpClient, ContentLengthBodyAndReuseWithoutNewConnect) {
  auto peer = Rig.Peer({kOk5 + kOk5.substr(0, 20), kOk5.substr(20)});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/a"), "hello");
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_TRUE(Http.IsConnected());
  EXPECT_EQ(Http.FetchUrl("http://dir.example/b"), "hello");
  EXPECT_EQ(Rig.Connects(), 1u);
  const std::string sent = peer->Sent();
  EXPECT_NE(sent.find("GET /a HTTP/1.1\r\n"), std::string::npos);
  EXPECT_NE(sent.find("GET /b HTTP/1.1\r\n"), std::string::npos);
}

TEST_F(HttpClient, ServerCloseBetweenRequestsIsNoticedBeforeSending) {
  auto first = Rig.Peer({kOk5}, true);
  auto second = Rig.Peer({kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/a"), "hello");
  EXPECT_EQ(Http.FetchUrl("http://dir.example/b"), "hello");
  EXPECT_EQ(Rig.Connects(), 2u);
  EXPECT_EQ(first->Sent().find("GET /b"), std::string::npos);
  EXPECT_EQ(second->Sent().find("GET /b"), 0u);
}

class HttpConnectionClose : public HttpClient, public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpConnectionClose, ClosesAfterTheReplyAndConnectsAnew) {
  const std::string reply =
      std::string("HTTP/1.1 200 OK\r\n") + GetParam() + "\r\nContent-Length: 5\r\n\r\nhello";
  Rig.Peer({reply});
  Rig.Peer({reply});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  EXPECT_FALSE(Http.IsConnected());
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  EXPECT_EQ(Rig.Connects(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AnyCase, HttpConnectionClose,
                         ::testing::Values("Connection: close", "Connection: CLOSE",
                                           "connection:   Close  ", "Proxy-Connection: cLoSe"));

TEST_F(HttpClient, ChunkedBodyIsJoinedInOrder) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "5\r\nhello\r\n",
            "3\r\nabc\r\n", "0\r\n\r\n"});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "helloabc");
  EXPECT_TRUE(Http.IsConnected());
}

TEST_F(HttpClient, ChunkExtensionsAndTrailerKeepTheConnectionInStep) {
  Rig.Peer(
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "5;name=value\r\nhello\r\n3 ; x=\"y\"\r\nabc\r\n0;last\r\n"
       "X-Trailer: one\r\nX-Other: two\r\n\r\n" +
       kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/a"), "helloabc");
  // The trailer was read to its empty line, so the next reply starts where it should.
  EXPECT_EQ(Http.FetchUrl("http://dir.example/b"), "hello");
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_EQ(Rig.Connects(), 1u);
}

class HttpBadChunkSize : public HttpClient, public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpBadChunkSize, FailsTheRequestAndDropsTheConnection) {
  Rig.Peer({std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n") +
            GetParam() + "\r\nabc\r\n0\r\n\r\n"});
  Rig.Peer({kOk5});
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdHTTPInvalidChunkSize);
  EXPECT_FALSE(Http.IsConnected());
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  EXPECT_EQ(Rig.Connects(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Vectors, HttpBadChunkSize,
                         ::testing::Values("zz", "", ";ext", "0x3", "-3", "3g", "10000000000000000",
                                           "FFFFFFFFFFFFFFFFF"));

TEST_F(HttpClient, ChunkSizeWithLeadingZerosIsFine) {
  Rig.Peer(
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "000000000000000000003\r\nabc\r\n0\r\n\r\n"});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "abc");
}

TEST_F(HttpClient, ChunkedBodyCutByTheCloseFails) {
  for (const char* cut : {"5\r\nhel", "5\r\nhello\r\n", "5\r\nhello\r\n0\r\n",
                          "5\r\nhello\r\n0\r\nX-T: 1\r\nX-Half"}) {
    Rig.Peer({std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + cut}, true);
    EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdConnClosedGracefully) << cut;
    EXPECT_FALSE(Http.IsConnected());
  }
}

TEST_F(HttpClient, BodyUntilTheClose) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nfirst ", "second ", "third"}, true);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "first second third");
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, NegativeContentLengthReadsUntilTheClose) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\nall of it"}, true);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "all of it");
}

TEST_F(HttpClient, ZeroContentLengthIsAnEmptyBody) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n" + kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "");
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
}

TEST_F(HttpClient, ContinueRepliesAreSkipped) {
  Rig.Peer({"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 100 Continue\r\nX-A: b\r\n\r\n", kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_EQ(Http.Response().StatusLine, "HTTP/1.1 200 OK");
}

TEST_F(HttpClient, RedirectIsAnErrorAndNotFollowed) {
  Rig.Peer(
      {"HTTP/1.1 302 Found\r\nLocation: http://example.com/x\r\nContent-Length: 3\r\n\r\nabc"});
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_STREQ(e.what(), "HTTP/1.1 302 Found");
  EXPECT_EQ(e.ErrorCode(), 302);
  EXPECT_EQ(e.Body(), "abc");
  EXPECT_EQ(Http.LastStatusCode(), 302);
  EXPECT_EQ(Rig.Connects(), 1u);
  EXPECT_EQ(Rig.Stack->Lookups(), std::vector<std::string>{"dir.example"});
  EXPECT_TRUE(Http.IsConnected());  // a complete error reply leaves the connection usable
}

TEST_F(HttpClient, SuccessWithLocationIsAnError) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\nContent-Length: 5\r\n\r\nhello"});
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_STREQ(e.what(), "HTTP/1.1 200 OK");
  EXPECT_EQ(e.ErrorCode(), 200);
  EXPECT_EQ(e.Body(), "hello");
}

TEST_F(HttpClient, NoContentIsSuccessWithoutReadingABody) {
  // Had the client looked for a body it would have waited for the close.
  Rig.Peer({"HTTP/1.1 204 No Content\r\n\r\n" + kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "");
  EXPECT_EQ(Http.LastStatusCode(), 204);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
}

TEST_F(HttpClient, NotFoundCarriesStatusLineCodeAndBody) {
  Rig.Peer({"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nno such x"});
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(e.ErrorCode(), 404);
  EXPECT_EQ(e.Body(), "no such x");
  const EIdException& base = e;  // callers catch the line client's root
  EXPECT_STREQ(base.what(), "HTTP/1.1 404 Not Found");
}

class HttpErrorStatus : public HttpClient, public ::testing::WithParamInterface<int> {};

TEST_P(HttpErrorStatus, IsRaisedWithItsCode) {
  const std::string status = "HTTP/1.1 " + std::to_string(GetParam()) + " Whatever";
  Rig.Peer({status + "\r\nContent-Length: 1\r\n\r\nx"});
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_EQ(e.what(), status);
  EXPECT_EQ(e.ErrorCode(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Codes, HttpErrorStatus,
                         ::testing::Values(101, 199, 300, 301, 304, 307, 399, 400, 401, 407, 500,
                                           599, 600, 0));

TEST_F(HttpClient, StatusCodeThatIsNoNumberIsMinusOneAndAnError) {
  Rig.Peer({"HTTP/1.1 OK fine\r\nContent-Length: 0\r\n\r\n"});
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_EQ(e.ErrorCode(), -1);
  EXPECT_EQ(Http.LastStatusCode(), -1);
  EXPECT_STREQ(e.what(), "HTTP/1.1 OK fine");
}

TEST_F(HttpClient, HeaderLineLongerThanTheLimitFails) {
  // 16384 bytes before the LF pass, 16385 (the CR counted) do not.
  const std::string ok = "X-Long: " + std::string(16384 - 8 - 1, 'a') + "\r\n";
  const std::string tooLong = "X-Long: " + std::string(16385 - 8 - 1, 'a') + "\r\n";
  ASSERT_EQ(ok.size(), 16385u);
  ASSERT_EQ(tooLong.size(), 16386u);
  Rig.Peer({"HTTP/1.1 200 OK\r\n" + ok + "Content-Length: 5\r\n\r\nhello"});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  Rig.Peer({"HTTP/1.1 200 OK\r\n" + tooLong + "Content-Length: 5\r\n\r\nhello" + kOk5});
  Http.CloseConnection();
  try {
    Http.FetchUrl("http://dir.example/");
    FAIL() << "no error";
  } catch (const EIdReadLnMaxLineLengthExceeded& e) {
    EXPECT_STREQ(e.what(), "Max line length exceeded.");
  }
  // The rest of that reply is never read as the next one.
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, SuccessOnAConnectionClosedDuringTheHeadIsUndefined) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"}, true);
  try {
    Http.FetchUrl("http://dir.example/");
    FAIL() << "no error";
  } catch (const EIdHTTPUndefinedSituation& e) {
    EXPECT_STREQ(e.what(), "Undefined situation");
  }
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, ErrorOnAConnectionClosedDuringTheHeadIsStillTheProtocolError) {
  Rig.Peer({"HTTP/1.1 503 Busy\r\nX-Half-A-Hea"}, true);
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_EQ(e.ErrorCode(), 503);
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, CloseBeforeTheStatusLineFails) {
  Rig.Peer({}, true);
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdConnClosedGracefully);
}

TEST_F(HttpClient, ContentLengthBodyCutByTheCloseFails) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 21\r\n\r\n&ChatServer_port=77"}, true);
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdConnClosedGracefully);
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, ErrorReplyCutByTheCloseKeepsWhatCame) {
  Rig.Peer({"HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\npartial"}, true);
  const EIdHTTPProtocolException e = FetchError(Http, "http://dir.example/");
  EXPECT_EQ(e.Body(), "partial");
}

TEST_F(HttpClient, ErrorReplyBodyWaitsTwoSecondsAtMost) {
  Http.ReadTimeout = 10000;
  Rig.Peer({"HTTP/1.1 500 Oops\r\n\r\nsome"});  // no length, no close
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdReadTimeout);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_LT(waited, std::chrono::milliseconds(9000));
  EXPECT_EQ(Http.ReadTimeout, 10000);
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, CookieIsSentBackAfterUserAgent) {
  auto peer =
      Rig.Peer({"HTTP/1.1 200 OK\r\nSet-Cookie: sid=42; Path=/\r\n"
                "Set-cookie2: v=\"2\"; Version=1\r\nContent-Length: 5\r\n\r\nhello" +
                kOk5});
  Http.FetchUrl("http://dir.example/Other/a.asp");
  Http.FetchUrl("http://dir.example/Other/b.asp?x=1");
  const std::string sent = peer->Sent();
  const std::string second = sent.substr(sent.find("GET /Other/b.asp"));
  EXPECT_EQ(second,
            "GET /Other/b.asp?x=1 HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: dir.example\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
            "Cookie: sid=42; v=2\r\n"
            "\r\n");
}

TEST_F(HttpClient, CookiesFromErrorAndContinueRepliesAreKept) {
  auto peer =
      Rig.Peer({"HTTP/1.1 100 Continue\r\nSet-Cookie: a=1\r\n\r\n"
                "HTTP/1.1 404 Nope\r\nSet-Cookie: b=2\r\nContent-Length: 0\r\n\r\n" +
                kOk5});
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdHTTPProtocolException);
  Http.FetchUrl("http://dir.example/");
  EXPECT_NE(peer->Sent().find("Cookie: a=1; b=2\r\n"), std::string::npos);
}

TEST_F(HttpClient, CookieGoesOnlyToDomainMatchingHosts) {
  Rig.Peer(
      {"HTTP/1.1 200 OK\r\nSet-Cookie: sid=1; Domain=example.com\r\nConnection: close\r\n"
       "Content-Length: 0\r\n\r\n"});
  auto sub = Rig.Peer({kOk5});
  auto other = Rig.Peer({kOk5});
  Http.FetchUrl("http://example.com/");
  Http.FetchUrl("http://www.example.com/");
  Http.FetchUrl("http://badexample.com/");
  EXPECT_NE(sub->Sent().find("Cookie: sid=1\r\n"), std::string::npos);
  EXPECT_EQ(other->Sent().find("Cookie:"), std::string::npos);
  EXPECT_EQ(Rig.Connects(), 3u);  // a new host closes the old connection
}

TEST_F(HttpClient, CookiesAreNeitherKeptNorSentWhenNotAllowed) {
  Http.AllowCookies = false;
  auto peer =
      Rig.Peer({"HTTP/1.1 200 OK\r\nSet-Cookie: sid=1\r\nContent-Length: 0\r\n\r\n" + kOk5});
  Http.FetchUrl("http://dir.example/");
  Http.FetchUrl("http://dir.example/");
  EXPECT_EQ(peer->Sent().find("Cookie:"), std::string::npos);
  EXPECT_TRUE(Http.CookieManager().Cookies().empty());
}

TEST_F(HttpClient, ContentLengthPastTheLimitIsRefusedBeforeReading) {
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 16777217\r\n\r\nabc"});
  try {
    Http.FetchUrl("http://dir.example/");
    FAIL() << "no error";
  } catch (const EIdHTTPReplyTooLarge& e) {
    EXPECT_STREQ(e.what(), "HTTP reply body larger than 16 MiB.");
  }
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpClient, ContentLengthAtTheLimitIsRead) {
  const std::string body(kMaxReplyBytes, 'b');
  Rig.Peer({"HTTP/1.1 200 OK\r\nContent-Length: 16777216\r\n\r\n", body});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/").size(), kMaxReplyBytes);
}

TEST_F(HttpClient, ChunksPastTheLimitAreRefused) {
  const std::string mib(1 << 20, 'c');
  std::vector<std::string> chunks = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"};
  for (int i = 0; i < 16; ++i) chunks.push_back("100000\r\n" + mib + "\r\n");
  chunks.push_back("1\r\nx\r\n0\r\n\r\n");
  Rig.Peer(chunks);
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdHTTPReplyTooLarge);
  EXPECT_FALSE(Http.IsConnected());
  chunks.pop_back();
  chunks.push_back("0\r\n\r\n");
  Rig.Peer(chunks);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/").size(), kMaxReplyBytes);
}

TEST_F(HttpClient, BodyUntilTheClosePastTheLimitIsRefused) {
  const std::string mib(1 << 20, 'u');
  std::vector<std::string> chunks = {"HTTP/1.1 200 OK\r\n\r\n"};
  for (int i = 0; i < 16; ++i) chunks.push_back(mib);
  Rig.Peer(chunks, true);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/").size(), kMaxReplyBytes);
  chunks.push_back("!");
  Rig.Peer(chunks, true);
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdHTTPReplyTooLarge);
}

TEST_F(HttpClient, EndlessHeadIsRefused) {
  const std::string lines = [] {
    std::string s;
    for (int i = 0; i < 1000; ++i) s += "X-A: b\r\n";
    return s;
  }();
  auto peer = Rig.Peer({"HTTP/1.1 200 OK\r\n"});
  for (int i = 0; i < 1000; ++i) peer->Feed(lines);
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdHTTPReplyTooLarge);
  EXPECT_GT(peer->Pending(), 0u);
}

TEST_F(HttpClient, FailedConnectLeavesTheClientReadyToTryAgain) {
  EXPECT_THROW(Http.FetchUrl("http://dir.example/"), EIdSocketError);  // no peer: refused
  Rig.Peer({kOk5});
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "hello");
  EXPECT_THROW(Http.FetchUrl("http://unknown.example/"), EIdSocketError);
}

TEST_F(HttpClient, PortOfTheUrlIsUsedAndNamedInTheHostHeader) {
  auto peer = Rig.Peer({kOk5});
  Http.FetchUrl("http://dir.example:8080/x");
  EXPECT_EQ(Rig.Stack->Connects()[0].second, 8080);
  EXPECT_NE(peer->Sent().find("\r\nHost: dir.example:8080\r\n"), std::string::npos);
  Rig.Peer({kOk5});
  Http.FetchUrl("http://dir.example/x");  // another port: another connection
  EXPECT_EQ(Rig.Connects(), 2u);
  EXPECT_EQ(Rig.Stack->Connects()[1].second, 80);
}

TEST_F(HttpClient, ReplySplitAtEveryByteReadsTheSame) {
  const std::string reply =
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: a=b\r\n"
      "Transfer-Encoding: chunked\r\n\r\n5;e=1\r\nhello\r\n3\r\nabc\r\n0\r\nT: x\r\n\r\n";
  std::vector<std::string> bytes;
  for (char c : reply) bytes.emplace_back(1, c);
  Rig.Peer(bytes);
  EXPECT_EQ(Http.FetchUrl("http://dir.example/"), "helloabc");
  EXPECT_TRUE(Http.IsConnected());
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/Http.h"
#include "support/HttpExpect.h"
#include "support/ScriptedHttpServer.h"

// The GET client against a raw server on 127.0.0.1 that answers with scripted
// bytes: the same cases a directory might produce, over real sockets.

namespace {

const std::string kOk5 = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";

THttpConnectionScript Keep(std::vector<THttpScriptedReply> replies) {
  return THttpConnectionScript{std::move(replies), false};
}

THttpConnectionScript Close(std::vector<THttpScriptedReply> replies) {
  return THttpConnectionScript{std::move(replies), true};
}

class HttpLoopback : public ::testing::Test {
 protected:
  HttpLoopback() { Http.ReadTimeout = 5000; }  // a broken script fails instead of hanging
  TIdHTTP Http;
};

}  // namespace

TEST_F(HttpLoopback, DirectoryRequestArrivesByteForByte) {
  TScriptedHttpServer server({Keep({kOk5})});
  const std::string target =
      "/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1";
  EXPECT_EQ(Http.FetchUrl(server.Url(target)), "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "GET " + target +
                                      " HTTP/1.1\r\n"
                                      "Content-Type: text/html\r\n"
                                      "Host: 127.0.0.1:" +
                                      std::to_string(server.Port()) +
                                      "\r\n"
                                      "Accept: text/html, */*\r\n"
                                      "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
                                      "\r\n");
}

TEST_F(HttpLoopback, ContentLengthBodyAndReuseWithoutNewConnect) {
  TScriptedHttpServer server(
      {Keep({kOk5, {"HTTP/1.1 200 OK\r\nContent-", "Length: 3\r\n\r\nab", "c"}})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/one")), "hello");
  EXPECT_EQ(Http.LastStatusCode(), 200);
  EXPECT_EQ(Http.FetchUrl(server.Url("/two")), "abc");
  EXPECT_EQ(server.Accepted(), 1);
  EXPECT_TRUE(Http.IsConnected());
}

class HttpLoopbackClose : public HttpLoopback, public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpLoopbackClose, ConnectionCloseInAnyCaseMeansANewConnect) {
  const std::string reply =
      std::string("HTTP/1.1 200 OK\r\n") + GetParam() + "\r\nContent-Length: 5\r\n\r\nhello";
  TScriptedHttpServer server({Keep({reply}), Keep({reply})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_FALSE(Http.IsConnected());
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(server.Accepted(), 2);
}

INSTANTIATE_TEST_SUITE_P(AnyCase, HttpLoopbackClose,
                         ::testing::Values("Connection: close", "Connection: CLOSE",
                                           "CONNECTION: cLoSe"));

TEST_F(HttpLoopback, ServerSideCloseAfterAKeptAliveReplyIsNoticed) {
  TScriptedHttpServer server({Close({kOk5}), Keep({kOk5})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  ASSERT_TRUE(server.WaitPlayed(1));  // the server's close is on its way
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(server.Accepted(), 2);
}

TEST_F(HttpLoopback, ChunksOfFiveAndThree) {
  TScriptedHttpServer server({Keep({{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                                     "5\r\nhello\r\n", "3\r\nabc\r\n", "0\r\n\r\n"},
                                    kOk5})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "helloabc");
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(HttpLoopback, ChunkExtensionAndTrailerAreReadToTheEnd) {
  TScriptedHttpServer server(
      {Keep({{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=value\r\nhello\r\n",
              "3;a=b;c\r\nabc\r\n0\r\nExpires: never\r\n", "X-Sum: 8\r\n\r\n"},
             kOk5})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "helloabc");
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(HttpLoopback, ChunkSizeThatIsNoNumberFails) {
  TScriptedHttpServer server({Keep({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                    "five\r\nhello\r\n0\r\n\r\n"}),
                              Keep({kOk5})});
  EXPECT_THROW(Http.FetchUrl(server.Url("/")), EIdHTTPInvalidChunkSize);
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(server.Accepted(), 2);
}

TEST_F(HttpLoopback, BodyUntilTheClose) {
  TScriptedHttpServer server({Close({{"HTTP/1.1 200 OK\r\n\r\nfirst part, ", "second part"}})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "first part, second part");
  EXPECT_FALSE(Http.IsConnected());
}

TEST_F(HttpLoopback, ContinueThenOk) {
  TScriptedHttpServer server({Keep({{"HTTP/1.1 100 Continue\r\n\r\n", kOk5}})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
  EXPECT_EQ(Http.LastStatusCode(), 200);
}

TEST_F(HttpLoopback, FoundWithLocationIsAnErrorNotFollowed) {
  TScriptedHttpServer server(
      {Keep({"HTTP/1.1 302 Found\r\nLocation: /moved\r\nContent-Length: 0\r\n\r\n"})});
  const EIdHTTPProtocolException e = FetchError(Http, server.Url("/"));
  EXPECT_STREQ(e.what(), "HTTP/1.1 302 Found");
  EXPECT_EQ(e.ErrorCode(), 302);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(HttpLoopback, OkWithLocationIsAnError) {
  TScriptedHttpServer server(
      {Keep({"HTTP/1.1 200 OK\r\nLocation: /moved\r\nContent-Length: 2\r\n\r\nhi"})});
  const EIdHTTPProtocolException e = FetchError(Http, server.Url("/"));
  EXPECT_EQ(e.ErrorCode(), 200);
  EXPECT_EQ(e.Body(), "hi");
}

TEST_F(HttpLoopback, NoContentIsAnEmptySuccess) {
  TScriptedHttpServer server({Keep({"HTTP/1.1 204 No Content\r\n\r\n", kOk5})});
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "");
  EXPECT_EQ(Http.LastStatusCode(), 204);
  EXPECT_EQ(Http.FetchUrl(server.Url("/")), "hello");
}

TEST_F(HttpLoopback, NotFoundWithABody) {
  TScriptedHttpServer server(
      {Keep({"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 14\r\n\r\n"
             "<h1>gone</h1>\n"})});
  const EIdHTTPProtocolException e = FetchError(Http, server.Url("/missing"));
  EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(e.ErrorCode(), 404);
  EXPECT_EQ(e.Body(), "<h1>gone</h1>\n");
  EXPECT_EQ(Http.LastStatusCode(), 404);
}

TEST_F(HttpLoopback, StatusCodeThatIsNoNumber) {
  TScriptedHttpServer server({Keep({"HTTP/1.1 2xx Fine\r\nContent-Length: 0\r\n\r\n"})});
  const EIdHTTPProtocolException e = FetchError(Http, server.Url("/"));
  EXPECT_EQ(e.ErrorCode(), -1);
  EXPECT_EQ(Http.LastStatusCode(), -1);
}

TEST_F(HttpLoopback, HeaderLineOf16385BytesFails) {
  const std::string line = "X-Big: " + std::string(16385 - 7 - 1, 'z') + "\r\n";
  ASSERT_EQ(line.size(), 16386u);  // 16385 bytes before the LF, its CR included
  TScriptedHttpServer server({Keep({"HTTP/1.1 200 OK\r\n" + line + "Content-Length: 0\r\n\r\n"})});
  try {
    Http.FetchUrl(server.Url("/"));
    FAIL() << "no error";
  } catch (const EIdReadLnMaxLineLengthExceeded& e) {
    EXPECT_STREQ(e.what(), "Max line length exceeded.");
  }
}

TEST_F(HttpLoopback, CookieSetIsSentBackAfterUserAgent) {
  TScriptedHttpServer server(
      {Keep({"HTTP/1.1 200 OK\r\nSet-Cookie: ASPSESSIONID=QWERTY; path=/\r\n"
             "Content-Length: 5\r\n\r\nhello",
             kOk5})});
  Http.FetchUrl(server.Url("/Other/a.asp"));
  Http.FetchUrl(server.Url("/Other/a.asp"));
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  const std::string tail =
      "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
      "Cookie: ASPSESSIONID=QWERTY\r\n\r\n";
  ASSERT_GE(requests[1].size(), tail.size());
  EXPECT_EQ(requests[1].substr(requests[1].size() - tail.size()), tail);
}

TEST_F(HttpLoopback, BodyPastSixteenMebibytesFails) {
  TScriptedHttpServer server({Keep({"HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\nx"})});
  EXPECT_THROW(Http.FetchUrl(server.Url("/")), EIdHTTPReplyTooLarge);
  EXPECT_FALSE(Http.IsConnected());
}

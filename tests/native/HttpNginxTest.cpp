#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "lookup/Http.h"
#include "native/NginxServer.h"

// The GET client against a real server, Debian's nginx, with curl fetching the
// same URLs as the reference for every body.

class HttpNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TNginxServer::Available())
      GTEST_SKIP() << TNginxServer::kBinary << " is not installed (scripts/setup installs it)";
    Nginx = std::make_unique<TNginxServer>();
    Http.ReadTimeout = 10000;  // as the address lookup sets it
  }

  std::unique_ptr<TNginxServer> Nginx;
  TIdHTTP Http;
};

TEST_F(HttpNginx, ContentLengthFilesEqualWhatCurlFetches) {
  for (const char* target : {"/small.txt", "/empty.txt", "/big.bin", "/dir/page.html"}) {
    const std::string url = Nginx->Url(target);
    const std::string body = Http.FetchUrl(url);
    EXPECT_EQ(Http.LastStatusCode(), 200) << target;
    EXPECT_GE(Http.Response().ContentLength, 0) << target;
    EXPECT_EQ(body, CurlBody(url)) << target;
  }
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/big.bin")).size(), 100u * 1024u);
}

TEST_F(HttpNginx, KeepAliveCarriesEveryRequestOnOneConnection) {
  Http.FetchUrl(Nginx->Url("/small.txt"));
  Http.FetchUrl(Nginx->Url("/big.bin"));
  Http.FetchUrl(Nginx->Url("/empty.txt"));
  Http.FetchUrl(Nginx->Url("/small.txt"));
  const auto log = Nginx->AccessLog(4);
  ASSERT_EQ(log.size(), 4u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].Connection, log[0].Connection) << i;
    EXPECT_EQ(log[i].ConnectionRequest, static_cast<int>(i) + 1) << i;
    EXPECT_EQ(log[i].Status, 200) << i;
  }
  EXPECT_EQ(log[1].Request, "GET /big.bin HTTP/1.1");
}

TEST_F(HttpNginx, ServerThatAllowsOneRequestPerConnectionIsFollowed) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Http.FetchUrl(Nginx->OneRequestUrl("/small.txt")), "hello");
    // nginx says "Connection: close" with the last reply it allows.
    EXPECT_FALSE(Http.IsConnected()) << i;
  }
  const auto log = Nginx->AccessLog(3);
  ASSERT_EQ(log.size(), 3u);
  std::set<long> connections;
  for (const auto& line : log) {
    connections.insert(line.Connection);
    EXPECT_EQ(line.ConnectionRequest, 1);
  }
  EXPECT_EQ(connections.size(), 3u);
}

TEST_F(HttpNginx, IdleConnectionClosedByTheServerIsNoticedBeforeTheNextRequest) {
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/idle/a.txt")), "idle a");
  EXPECT_TRUE(Http.IsConnected());
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));  // past keepalive_timeout 1s
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/idle/a.txt")), "idle a");
  const auto log = Nginx->AccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].Connection, log[1].Connection);
  EXPECT_EQ(log[1].ConnectionRequest, 1);
}

TEST_F(HttpNginx, ChunkedSsiPageEqualsWhatCurlFetches) {
  const std::string url = Nginx->Url("/ssi/page.shtml");
  const std::string body = Http.FetchUrl(url);
  EXPECT_EQ(HeaderValue(Http.Response().RawHeaders, "Transfer-Encoding"), "chunked");
  EXPECT_EQ(body, CurlBody(url));
  EXPECT_NE(body.find("<p>for orvane</p>"), std::string::npos);
  EXPECT_NE(body.find("<pre>hello</pre>"), std::string::npos);
  // The chunked reply was read to its very end: the connection carries on.
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/small.txt")), "hello");
  const auto log = Nginx->AccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].Request, "GET /small.txt HTTP/1.1");
  EXPECT_EQ(log[1].Connection, log[0].Connection);
  EXPECT_EQ(log[1].ConnectionRequest, 2);
}

TEST_F(HttpNginx, CookieSetByTheServerComesBackOnItsPathOnly) {
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/cookie/a.txt")), "cookie a");
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/cookie/b.txt")), "cookie b");
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/small.txt")), "hello");
  const auto log = Nginx->AccessLog(3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].Cookie, "-");
  EXPECT_EQ(log[1].Cookie, "orvane_sid=s1234");
  EXPECT_EQ(log[2].Cookie, "-");
}

TEST_F(HttpNginx, NotFoundIsAnErrorWithTheBodyCurlFetches) {
  const std::string url = Nginx->Url("/missing.txt");
  try {
    Http.FetchUrl(url);
    FAIL() << "no error";
  } catch (const EIdHTTPProtocolException& e) {
    EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(e.ErrorCode(), 404);
    EXPECT_EQ(e.Body(), CurlBody(url));
    EXPECT_NE(e.Body().find("404"), std::string::npos);
  }
  // A complete error reply leaves the connection usable.
  EXPECT_EQ(Http.FetchUrl(Nginx->Url("/small.txt")), "hello");
  const auto log = Nginx->AccessLog(2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].Connection, log[0].Connection);
}

TEST_F(HttpNginx, RedirectIsAnErrorWithTheBodyCurlFetches) {
  const std::string url = Nginx->Url("/old");
  try {
    Http.FetchUrl(url);
    FAIL() << "no error";
  } catch (const EIdHTTPProtocolException& e) {
    EXPECT_STREQ(e.what(), "HTTP/1.1 302 Moved Temporarily");
    EXPECT_EQ(e.ErrorCode(), 302);
    EXPECT_EQ(e.Body(), CurlBody(url));
  }
  EXPECT_EQ(Http.Response().Location, Nginx->Url("/small.txt"));
  const auto log = Nginx->AccessLog(1);
  ASSERT_EQ(log.size(), 1u);  // not followed
  EXPECT_EQ(log[0].Status, 302);
}

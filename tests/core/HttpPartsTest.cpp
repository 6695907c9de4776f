#include <gtest/gtest.h>

#include "lookup/HttpErrors.h"
#include "lookup/HttpHeaders.h"
#include "lookup/HttpReply.h"
#include "lookup/HttpRequest.h"
#include "lookup/HttpUrl.h"

// URL splitting, header lookup, the reply's status code and the request bytes:
// the parts of the GET client that need no connection.

struct UrlCase {
  const char* Url;
  const char* Host;
  const char* Port;
  const char* Target;
  const char* HostHeader;
};

class UrlSplitting : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlSplitting, FindsHostPortAndTarget) {
  const UrlCase& c = GetParam();
  const TIdURI uri = SplitUrl(c.Url);
  EXPECT_EQ(uri.Host, c.Host) << c.Url;
  EXPECT_EQ(uri.Port, c.Port) << c.Url;
  EXPECT_EQ(uri.Target, c.Target) << c.Url;
  EXPECT_EQ(uri.HostHeader(), c.HostHeader) << c.Url;
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, UrlSplitting,
    ::testing::Values(
        UrlCase{"http://dir.example/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=a b",
                "dir.example", "80", "/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=a b",
                "dir.example"},
        UrlCase{"http://dir.example", "dir.example", "80", "/", "dir.example"},
        UrlCase{"http://dir.example:8080/x", "dir.example", "8080", "/x", "dir.example:8080"},
        UrlCase{"http://dir.example:80/x", "dir.example", "80", "/x", "dir.example"},
        UrlCase{"http:\\\\dir.example\\a\\b.asp", "dir.example", "80", "/a/b.asp", "dir.example"},
        UrlCase{"http://user:pw@dir.example:81/x", "dir.example", "81", "/x", "dir.example:81"},
        UrlCase{"http://user@dir.example/x", "dir.example", "80", "/x", "dir.example"},
        UrlCase{"http://dir.example/a?b=%20c#frag", "dir.example", "80", "/a?b=%20c",
                "dir.example"},
        UrlCase{"http://dir.example#frag", "dir.example", "80", "/", "dir.example"},
        UrlCase{"http://dir.example?q=1", "dir.example", "80", "/?q=1", "dir.example"},
        UrlCase{"HTTP://Dir.Example/", "Dir.Example", "80", "/", "Dir.Example"}));

TEST(UrlSplitting, KeepsUserInfo) {
  const TIdURI uri = SplitUrl("http://bob:se:cret@host/");
  EXPECT_EQ(uri.Username, "bob");
  EXPECT_EQ(uri.Password, "se:cret");
  EXPECT_EQ(uri.Host, "host");
}

TEST(UrlSplitting, RefusesWhatItCannotFetch) {
  for (const char* url : {"dir.example/x", "https://dir.example/", "ftp://dir.example/",
                          "http:///x", "http://host:0/", "http://host:65536/", "http://host:8a/",
                          "http://host:$50/", "http://user@:80/"}) {
    EXPECT_THROW(SplitUrl(url), EIdURIException) << url;
  }
}

TEST(UrlSplitting, PathLeavesOutTheQuery) {
  EXPECT_EQ(SplitUrl("http://h/a/b.asp?x=/y").Path(), "/a/b.asp");
}

TEST(HeaderLookup, MatchesNamesWithoutCaseAndTrimsTheValue) {
  const TIdHeaderLines lines = {"content-LENGTH:   42  ", "Location: /a", "Location: /b",
                                "X-Empty:", "Content-Lengthy: 1"};
  EXPECT_EQ(HeaderValue(lines, "Content-Length"), "42");
  EXPECT_EQ(HeaderValue(lines, "Location"), "/a");
  EXPECT_EQ(HeaderValue(lines, "X-Empty"), "");
  EXPECT_EQ(HeaderValue(lines, "Missing"), "");
  EXPECT_EQ(HeaderValues(lines, "location"), (std::vector<std::string>{"/a", "/b"}));
}

TEST(HeaderLookup, JoinsContinuationLinesWithOneBlank) {
  const TIdHeaderLines lines = {"X-Long: first", "   second", "\tthird  ", "Other: o",
                                " belongs to other"};
  EXPECT_EQ(HeaderValue(lines, "X-Long"), "first second third");
  EXPECT_EQ(HeaderValue(lines, "Other"), "o belongs to other");
}

TEST(HeaderLookup, NameEndsAtTheFirstColon) {
  const TIdHeaderLines lines = {"Location : /spaced", "Set-Cookie: a=b:c"};
  EXPECT_EQ(HeaderValue(lines, "Location"), "");
  EXPECT_EQ(HeaderValue(lines, "Set-Cookie"), "a=b:c");
}

struct StatusCase {
  const char* Line;
  int Code;
};

class StatusCodes : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusCodes, SecondTokenReadAsAnInteger) {
  EXPECT_EQ(StatusCodeOf(GetParam().Line), GetParam().Code) << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, StatusCodes,
    ::testing::Values(StatusCase{"HTTP/1.1 200 OK", 200}, StatusCase{"HTTP/1.0 404 Not Found", 404},
                      StatusCase{"HTTP/1.1 204", 204}, StatusCase{"ICY 200 OK", 200},
                      StatusCase{"HTTP/1.1 OK 200", -1}, StatusCase{"HTTP/1.1  200 OK", -1},
                      StatusCase{"HTTP/1.1", -1}, StatusCase{"", -1},
                      StatusCase{"HTTP/1.1 2OO OK", -1}));

TEST(ReplyRecord, KeepAliveUnlessCloseIsAskedFor) {
  TIdHTTPResponse reply;
  reply.Start("HTTP/1.1 200 OK");
  reply.RawHeaders = {"Content-Length: 5"};
  reply.ReadHeaderValues();
  EXPECT_EQ(reply.ContentLength, 5);
  EXPECT_TRUE(reply.AllowsKeepAlive(true));
  EXPECT_FALSE(reply.AllowsKeepAlive(false));
  for (const char* line : {"Connection: close", "connection:  CLOSE ", "Proxy-Connection: Close"}) {
    reply.RawHeaders = {line};
    reply.ReadHeaderValues();
    EXPECT_FALSE(reply.AllowsKeepAlive(true)) << line;
  }
  reply.RawHeaders = {"Connection: keep-alive, close"};
  reply.ReadHeaderValues();
  EXPECT_TRUE(reply.AllowsKeepAlive(true));
}

TEST(ReplyRecord, ContentLengthThatIsNoNumberCountsAsMissing) {
  TIdHTTPResponse reply;
  reply.Start("HTTP/1.1 200 OK");
  reply.RawHeaders = {"Content-Length: 5x"};
  reply.ReadHeaderValues();
  EXPECT_EQ(reply.ContentLength, -1);
}

TEST(RequestBytes, DirectoryLookupRequestIsExact) {
  const TIdURI uri = SplitUrl(
      "http://dir.example/Other/Quelmo/readdb_Quelmo.asp"
      "?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1");
  EXPECT_EQ(BuildGetRequest(TIdHTTPRequest(), "1.1", uri, ""),
            "GET /Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral"
            "&UsVersion=1.0.0.1 HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: dir.example\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
            "\r\n");
}

TEST(RequestBytes, CookieComesLastAndEmptyValuesAreLeftOut) {
  TIdHTTPRequest request;
  request.ContentType = "";
  request.Accept = "";
  EXPECT_EQ(BuildGetRequest(request, "1.1", SplitUrl("http://h:8080/p"), "a=1; b=2"),
            "GET /p HTTP/1.1\r\n"
            "Host: h:8080\r\n"
            "User-Agent: Mozilla/3.0 (compatible; ORVANE)\r\n"
            "Cookie: a=1; b=2\r\n"
            "\r\n");
}

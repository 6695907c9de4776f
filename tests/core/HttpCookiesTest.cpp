#include <gtest/gtest.h>

#include "lookup/HttpCookies.h"

// The cookie store: what is kept, and to which requests it goes back.

namespace {
constexpr int64_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC
}

TEST(CookieStore, SendsCookieBackToTheSameHostAndPath) {
  TIdCookieManager store;
  store.AddServerCookie("sid=abc; Path=/", "dir.example", "/Other/x.asp", kNow);
  store.AddServerCookie("lang=it", "dir.example", "/Other/x.asp", kNow);
  EXPECT_EQ(store.CookieHeader("dir.example", "/Other/x.asp", kNow), "sid=abc; lang=it");
  EXPECT_EQ(store.CookieHeader("DIR.example", "/Other/y.asp", kNow), "sid=abc; lang=it");
  // The second cookie belongs to the folder of the request that set it.
  EXPECT_EQ(store.CookieHeader("dir.example", "/elsewhere", kNow), "sid=abc");
}

TEST(CookieStore, SendsOnlyToHostsThatDomainMatch) {
  TIdCookieManager store;
  store.AddServerCookie("a=1", "example.com", "/", kNow);
  store.AddServerCookie("b=2; Domain=.example.com", "www.example.com", "/", kNow);
  EXPECT_EQ(store.CookieHeader("example.com", "/", kNow), "a=1; b=2");
  EXPECT_EQ(store.CookieHeader("www.example.com", "/", kNow), "a=1; b=2");
  // Names that merely contain the domain are other hosts.
  EXPECT_EQ(store.CookieHeader("badexample.com", "/", kNow), "");
  EXPECT_EQ(store.CookieHeader("example.com.evil.net", "/", kNow), "");
  EXPECT_EQ(store.CookieHeader("xample.com", "/", kNow), "");
}

TEST(CookieStore, RefusesCookiesForAnotherDomain) {
  TIdCookieManager store;
  store.AddServerCookie("a=1; Domain=other.net", "dir.example", "/", kNow);
  store.AddServerCookie("b=1; Domain=www.dir.example", "dir.example", "/", kNow);
  EXPECT_TRUE(store.Cookies().empty());
}

TEST(CookieStore, DottedAddressMatchesOnlyItself) {
  EXPECT_TRUE(DomainMatches("127.0.0.1", "127.0.0.1"));
  EXPECT_FALSE(DomainMatches("127.0.0.1", "0.0.1"));
  EXPECT_TRUE(DomainMatches("a.b.example", "B.Example"));
  EXPECT_FALSE(DomainMatches("example", "example."));
}

TEST(CookieStore, SameNameDomainAndPathReplaces) {
  TIdCookieManager store;
  store.AddServerCookie("a=1; Path=/", "h", "/", kNow);
  store.AddServerCookie("b=2; Path=/", "h", "/", kNow);
  store.AddServerCookie("a=3; Path=/", "h", "/", kNow);
  store.AddServerCookie("a=4; Path=/sub", "h", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h", "/sub/x", kNow), "a=3; b=2; a=4");
}

TEST(CookieStore, ExpiredCookiesAreDroppedAndDeleteTheirNamesake) {
  TIdCookieManager store;
  store.AddServerCookie("a=1; Max-Age=60", "h", "/", kNow);
  store.AddServerCookie("b=2; Expires=Wed, 15 Nov 2023 00:00:00 GMT", "h", "/", kNow);
  store.AddServerCookie("c=3", "h", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h", "/", kNow), "a=1; b=2; c=3");
  EXPECT_EQ(store.CookieHeader("h", "/", kNow + 61), "b=2; c=3");
  EXPECT_EQ(store.CookieHeader("h", "/", kNow + 86400), "c=3");
  EXPECT_EQ(store.Cookies().size(), 1u);
  store.AddServerCookie("c=gone; Max-Age=0", "h", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h", "/", kNow), "");
}

TEST(CookieStore, MaxAgeWinsOverExpires) {
  TIdCookieManager store;
  store.AddServerCookie("a=1; Max-Age=10; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "h", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h", "/", kNow + 5), "a=1");
}

TEST(CookieStore, IgnoresValuesWithoutAName) {
  TIdCookieManager store;
  store.AddServerCookie("novalue", "h", "/", kNow);
  store.AddServerCookie("=x", "h", "/", kNow);
  store.AddServerCookie("", "h", "/", kNow);
  EXPECT_TRUE(store.Cookies().empty());
  store.AddServerCookie("q=\"quoted\"; Version=1", "h", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h", "/", kNow), "q=quoted");
}

struct DateCase {
  const char* Text;
  bool Ok;
  int64_t Seconds;
};

class CookieDates : public ::testing::TestWithParam<DateCase> {};

TEST_P(CookieDates, ReadsTheShapesServersSend) {
  int64_t seconds = -1;
  EXPECT_EQ(ParseCookieDate(GetParam().Text, seconds), GetParam().Ok) << GetParam().Text;
  if (GetParam().Ok) {
    EXPECT_EQ(seconds, GetParam().Seconds) << GetParam().Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, CookieDates,
    ::testing::Values(DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", true, 784111777},
                      DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", true, 784111777},
                      DateCase{"Sun Nov  6 08:49:37 1994", true, 784111777},
                      DateCase{"Thu, 01 Jan 1970 00:00:00 GMT", true, 0},
                      DateCase{"Tue, 29 Feb 2028 12:00:00 GMT", true, 1835438400},
                      DateCase{"Fri, 31 Dec 2049 23:59:59 GMT", true, 2524607999},
                      DateCase{"06 Nov 1994", false, 0}, DateCase{"", false, 0},
                      DateCase{"Sun, 32 Nov 1994 08:49:37 GMT", false, 0},
                      DateCase{"Sun, 06 Nov 1994 24:00:00 GMT", false, 0},
                      DateCase{"Sun, 06 Foo 1994 08:49:37 GMT", false, 0}));

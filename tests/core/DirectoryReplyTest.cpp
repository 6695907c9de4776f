#include <gtest/gtest.h>

#include <string>

#include "lookup/Directory.h"
#include "lookup/DirectoryReply.h"

TEST(DirectoryUrl, SendsScriptAndQueryAsWritten) {
  EXPECT_EQ(DirectoryUrl(DirectoryBaseUrl()),
            "http://directory.orvane.net/Other/Quelmo/readdb_Quelmo.asp"
            "?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1");
  EXPECT_EQ(DirectoryUrl("http://127.0.0.1:8080"),
            "http://127.0.0.1:8080/Other/Quelmo/readdb_Quelmo.asp"
            "?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1");
}

TEST(TakeValue, ConsumesUpToTheKeyAndCopiesTheValue) {
  std::string body = "x&a=1&b=2";
  std::string value;
  ASSERT_TRUE(TakeValue(body, "&a=", value));
  EXPECT_EQ(value, "1");
  EXPECT_EQ(body, "1&b=2");
  ASSERT_TRUE(TakeValue(body, "&b=", value));
  EXPECT_EQ(value, "2");
  EXPECT_EQ(body, "2");
}

TEST(TakeValue, MissingKeyLeavesBodyAndValue) {
  std::string body = "&a=1";
  std::string value = "kept";
  EXPECT_FALSE(TakeValue(body, "&b=", value));
  EXPECT_EQ(body, "&a=1");
  EXPECT_EQ(value, "kept");
}

struct ReplyCase {
  const char* Name;
  std::string Body;
  bool LocalAuto;
  bool ChatAuto;
  bool Complete;
  std::string ChatIp;
  std::string ChatPort;
  std::string MyIp;
};

inline void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << c.Name;
}

class DirectoryReplyValues : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DirectoryReplyValues, TakesValuesAsTheyStand) {
  const ReplyCase& c = GetParam();
  TDirectoryReply reply;
  ASSERT_EQ(ReadDirectoryReply(c.Body, c.LocalAuto, c.ChatAuto, reply), c.Complete);
  if (!c.Complete) return;
  EXPECT_EQ(reply.ChatServerAddress, c.ChatIp);
  EXPECT_EQ(reply.ChatPortText, c.ChatPort);
  EXPECT_EQ(reply.LocalAddress, c.MyIp);
}

const std::string kBoth = "&ChatServer_ip=192.0.2.10&ChatServer_port=7777&my_ip=198.51.100.7";

INSTANTIATE_TEST_SUITE_P(
    Replies, DirectoryReplyValues,
    ::testing::Values(
        ReplyCase{"Both", kBoth, true, true, true, "192.0.2.10", "7777", "198.51.100.7"},
        ReplyCase{"LineEndStaysInLastValue", kBoth + "\r\n", true, true, true, "192.0.2.10", "7777",
                  "198.51.100.7\r\n"},
        ReplyCase{"OnlyChat", kBoth, false, true, true, "192.0.2.10", "7777", ""},
        ReplyCase{"OnlyLocal", kBoth, true, false, true, "", "", "198.51.100.7"},
        // With only the own address asked for, the whole body is searched.
        ReplyCase{"OnlyLocalSearchesWholeBody", "&my_ip=203.0.113.5&ChatServer_ip=1.2.3.4", true,
                  false, true, "", "", "203.0.113.5"},
        ReplyCase{"EmptyValue", "&ChatServer_ip=&ChatServer_port=7777&my_ip=x", true, true, true,
                  "", "7777", "x"},
        ReplyCase{"TextBeforeFirstKey", "<html><head></head>\r\n" + kBoth, true, true, true,
                  "192.0.2.10", "7777", "198.51.100.7"},
        ReplyCase{"FurtherTextBetweenValuesIsSkipped",
                  "&ChatServer_ip=a&junk=1&ChatServer_port=2&more&my_ip=b", true, true, true, "a",
                  "2", "b"},
        ReplyCase{"BlanksKept", "&ChatServer_ip= a &ChatServer_port= 5&my_ip=b ", true, true, true,
                  " a ", " 5", "b "},
        ReplyCase{"PortWithLineEnd", "&ChatServer_ip=a&ChatServer_port=7777\r\n", false, true, true,
                  "a", "7777\r\n", ""},
        ReplyCase{"KeysAreCaseSensitive", "&chatserver_ip=a&ChatServer_port=1&my_ip=b", true, true,
                  false, "", "", ""},
        ReplyCase{"MissingPort", "&ChatServer_ip=a&my_ip=b", true, true, false, "", "", ""},
        ReplyCase{"MissingOwnAddress", "&ChatServer_ip=a&ChatServer_port=1", true, true, false, "",
                  "", ""},
        // The own address before the port is not found: the copy is consumed.
        ReplyCase{"OwnAddressBeforeThePort", "&my_ip=b&ChatServer_ip=a&ChatServer_port=1", true,
                  true, false, "", "", ""},
        ReplyCase{"PortBeforeTheAddress", "&ChatServer_port=1&ChatServer_ip=a", false, true, false,
                  "", "", ""},
        ReplyCase{"EmptyBody", "", true, false, false, "", "", ""}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.Name); });

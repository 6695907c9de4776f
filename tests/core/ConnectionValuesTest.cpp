#include <gtest/gtest.h>

#include "session/ConnectionValues.h"
#include "session/Session.h"
#include "support/RecordingMessageBox.h"

namespace {

struct AddressCase {
  const char* Text;
  bool Valid;
  // "Invalid IP number" boxes shown when the check reports.
  size_t Messages;
};

class AddressCheck : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressCheck, AcceptsFourPartsAndCountsItsMessages) {
  const AddressCase& c = GetParam();
  TRecordingMessageBox boxes;
  EXPECT_EQ(IsValidIP(c.Text, &boxes), c.Valid) << '"' << c.Text << '"';
  std::vector<std::string> expected(c.Messages, std::string("message: ") + kInvalidIpText);
  EXPECT_EQ(boxes.Shown(), expected) << '"' << c.Text << '"';
}

TEST_P(AddressCheck, GivesTheSameAnswerWithoutReporting) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(IsValidIP(c.Text, nullptr), c.Valid) << '"' << c.Text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Examples, AddressCheck,
    ::testing::Values(AddressCase{"1.2.3.4", true, 0}, AddressCase{" 1.2.3.4", true, 0},
                      AddressCase{"1.2.3.4.", true, 0}, AddressCase{"0.0.0.0", true, 0},
                      AddressCase{"255.255.255.255", true, 0}, AddressCase{"192.168.0.1", true, 0},
                      // Parts are read like settings integers: hexadecimal passes.
                      AddressCase{"$7F.0.0.1", true, 0},
                      // The bad part, then the rest "1.1.1" read as one part.
                      AddressCase{"300.1.1.1", false, 2}, AddressCase{"256.1.1.1", false, 2},
                      // The last part fails on its own: one message.
                      AddressCase{"1.2.3.256", false, 1},
                      // Three parts: the count alone refuses it.
                      AddressCase{"1.2.3", false, 1}, AddressCase{"1.2.3.4.5", false, 1},
                      // The empty part, the rest "2.3", and the count of three.
                      AddressCase{"1..2.3", false, 3},
                      // One or two parts: refused silently (a host name, most likely).
                      AddressCase{"", false, 0}, AddressCase{"1", false, 0},
                      AddressCase{"1.2", false, 0}, AddressCase{"localhost", false, 1},
                      AddressCase{"chat.example", false, 2}, AddressCase{"1.2.3.4 ", false, 1},
                      AddressCase{"-1.2.3.4", false, 2}));

struct PortCase {
  const char* Text;
  bool Ok;
  int32_t Port;
};

class PortCheck : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortCheck, AcceptsZeroTo65535AsSettingsIntegers) {
  const PortCase& c = GetParam();
  int32_t port = -77;
  EXPECT_EQ(TryPortNumber(c.Text, port), c.Ok) << c.Text;
  EXPECT_EQ(port, c.Ok ? c.Port : -77) << c.Text;
}

INSTANTIATE_TEST_SUITE_P(Examples, PortCheck,
                         ::testing::Values(PortCase{"65535", true, 65535}, PortCase{"0", true, 0},
                                           PortCase{"7777", true, 7777}, PortCase{"$FF", true, 255},
                                           PortCase{"0x1E61", true, 7777},
                                           PortCase{" 80", true, 80}, PortCase{"65536", false, 0},
                                           PortCase{"-1", false, 0}, PortCase{"", false, 0},
                                           PortCase{"80 ", false, 0}, PortCase{"port", false, 0},
                                           PortCase{"$FFFFFFFF", false, 0}));

TEST(LocalChoice, AutoWordSelectsTheAutomaticAddress) {
  EXPECT_EQ(LocalChoiceFor("AUTO"), TLocalChoice::Auto);
}

TEST(LocalChoice, DottedAddressSelectsStaticIp) {
  EXPECT_EQ(LocalChoiceFor("192.168.0.1"), TLocalChoice::Static);
}

TEST(LocalChoice, HostNamesAndPartialAddressesSelectDnsName) {
  EXPECT_EQ(LocalChoiceFor("server.example"), TLocalChoice::Dns);
  EXPECT_EQ(LocalChoiceFor("1.2.3"), TLocalChoice::Dns);
  EXPECT_EQ(LocalChoiceFor("auto"), TLocalChoice::Dns);
  EXPECT_EQ(LocalChoiceFor(""), TLocalChoice::Dns);
}

TEST(ConnectionValues, AutomaticSettingsShowAsAutoEvenAfterTheLookupFilledThem) {
  TSession session;
  session.LocalAddress = "203.0.113.7";  // looked up
  session.LocalAuto = true;
  session.ChatServerAddress = "198.51.100.2";
  session.ChatAuto = true;
  session.ChatPort = 7001;
  TConnectionValues values = ConnectionValuesOf(session);
  EXPECT_EQ(values.Local, "AUTO");
  EXPECT_EQ(values.Chat, "AUTO");
  EXPECT_EQ(values.Port, 7001);
}

TEST(ConnectionValues, FixedSettingsShowTheirAddresses) {
  TSession session;
  session.LocalAddress = "host.example";
  session.ChatServerAddress = "10.0.0.9";
  session.ChatPort = 6000;
  TConnectionValues values = ConnectionValuesOf(session);
  EXPECT_EQ(values.Local, "host.example");
  EXPECT_EQ(values.Chat, "10.0.0.9");
  EXPECT_EQ(values.Port, 6000);
}

TEST(ConnectionValues, ApplyingSetsTheAutomaticFlagsByTheExactWord) {
  TSession session;
  ApplyConnectionValues(session, TConnectionValues{"AUTO", "auto", 1234});
  EXPECT_EQ(session.LocalAddress, "AUTO");
  EXPECT_TRUE(session.LocalAuto);
  EXPECT_EQ(session.ChatServerAddress, "auto");
  EXPECT_FALSE(session.ChatAuto);
  EXPECT_EQ(session.ChatPort, 1234);

  ApplyConnectionValues(session, TConnectionValues{"10.1.1.1", "AUTO", 7777});
  EXPECT_FALSE(session.LocalAuto);
  EXPECT_TRUE(session.ChatAuto);
  EXPECT_EQ(session.LocalAddress, "10.1.1.1");
}

}  // namespace

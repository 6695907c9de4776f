#include <gtest/gtest.h>

#include "chat/HostAddress.h"
#include "chat/TcpConnection.h"
#include "support/LoopbackServer.h"
#include "support/TcpExpect.h"
#include "support/TcpMemorySocket.h"

struct DottedCase {
  const char* Text;
  bool Ok;
  uint32_t Address;
};

class DottedAddress : public ::testing::TestWithParam<DottedCase> {};

TEST_P(DottedAddress, TakesFourDecimalNumbersUpTo255) {
  const DottedCase& c = GetParam();
  uint32_t address = 0xDEADBEEF;
  EXPECT_EQ(ParseDottedAddress(c.Text, address), c.Ok) << c.Text;
  if (c.Ok) {
    EXPECT_EQ(address, c.Address) << c.Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DottedAddress,
    ::testing::Values(DottedCase{"127.0.0.1", true, 0x7F000001}, DottedCase{"0.0.0.0", true, 0},
                      DottedCase{"255.255.255.255", true, 0xFFFFFFFF},
                      DottedCase{"10.1.2.3", true, 0x0A010203},
                      // Leading zeros are decimal, not octal.
                      DottedCase{"010.001.000.009", true, 0x0A010009},
                      DottedCase{"256.1.1.1", false, 0}, DottedCase{"1.2.3", false, 0},
                      DottedCase{"1.2.3.4.5", false, 0}, DottedCase{"1..3.4", false, 0},
                      DottedCase{"1.2.3.4.", false, 0}, DottedCase{" 1.2.3.4", false, 0},
                      DottedCase{"1.2.3.4 ", false, 0}, DottedCase{"+1.2.3.4", false, 0},
                      DottedCase{"0x7f.0.0.1", false, 0}, DottedCase{"", false, 0},
                      DottedCase{"99999999999.1.1.1", false, 0},
                      DottedCase{"localhost", false, 0}));

class HostRules : public ::testing::Test {
 protected:
  std::shared_ptr<TMemorySocketStack> Stack = std::make_shared<TMemorySocketStack>();
};

TEST_F(HostRules, LocalhostInAnyCaseIsLoopbackWithoutLookup) {
  for (const char* name : {"LOCALHOST", "localhost", "LocalHost", "lOcAlHoSt"}) {
    EXPECT_EQ(ResolveHost(*Stack, name), 0x7F000001u) << name;
  }
  EXPECT_TRUE(Stack->Lookups().empty());
}

TEST_F(HostRules, DottedAddressIsTakenWithoutLookup) {
  EXPECT_EQ(ResolveHost(*Stack, "192.168.7.9"), 0xC0A80709u);
  EXPECT_TRUE(Stack->Lookups().empty());
}

TEST_F(HostRules, OtherNamesAreLookedUp) {
  Stack->AddHost("chat.example", 0x0A000001);
  Stack->AddHost("256.1.1.1", 0x0A000002);
  EXPECT_EQ(ResolveHost(*Stack, "chat.example"), 0x0A000001u);
  EXPECT_EQ(ResolveHost(*Stack, "256.1.1.1"), 0x0A000002u);
  EXPECT_EQ(Stack->Lookups(), (std::vector<std::string>{"chat.example", "256.1.1.1"}));
}

TEST_F(HostRules, UnknownNameIsHostNotFound) {
  EXPECT_TRUE(Raises<EIdSocketError>([&] { ResolveHost(*Stack, "nobody.example"); },
                                     "Socket Error # 11001\r\nHost not found."));
}

// The platform's own lookup: names under the reserved .invalid domain never
// exist, so the answer comes without contacting any host of that name.
TEST(PlatformHostLookup, NameThatDoesNotExistIsHostNotFound) {
  TIdTCPClient client;
  client.Host = "orvane-no-such-host.invalid";
  client.Port = 7777;
  EXPECT_TRUE(Raises<EIdSocketError>([&] { client.OpenConnection(); },
                                     "Socket Error # 11001\r\nHost not found."));
  EXPECT_FALSE(client.IsConnected());
}

TEST(PlatformHostLookup, LocalhostInAnyCaseReachesTheLoopbackServer) {
  TLoopbackServer server;
  for (const char* name : {"localhost", "LocalHost", "LOCALHOST"}) {
    TIdTCPClient client;
    client.Host = name;
    client.Port = server.Port();
    client.OpenConnection();
    TLoopbackPeer peer = server.Accept();
    client.SendLine(name);
    EXPECT_EQ(peer.ReceiveLine(), std::string(name) + "\r\n");
  }
}

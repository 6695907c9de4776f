// With AUTORECONNECT set, the program left alone heals: a chat server that is
// down when the program starts shows no message; the lamp is red, and once
// the server takes connections the program signs on and announces by itself.
#include <string>

#include "e2e/E2eFixture.h"

namespace {

using SelfHealTest = TE2eTest;

TEST_F(SelfHealTest, ChatServerDownAtStart_NoMessageAndTheRoomGetsTheStatusOnceItIsUp) {
  // A port that nobody listens on until the second chat server takes it.
  TChatServerProcess& gone = StartChatServer();
  const int port = gone.Port();
  gone.Kill();
  std::string settings = Settings("127.0.0.1", port);
  settings.insert(settings.find("[CAR]"), "AUTORECONNECT=2\r\n");
  WriteFile("Brennak.ini", settings);
  RunGamelog({"--lines", "100", "--seed", "3"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return RedLamp(); }));
  EXPECT_TRUE(NoMessageBoxFor(1500));

  TChatServerProcess& back = StartChatServer({}, port);
  ASSERT_TRUE(WaitForReceived(back, "DRIVERS:"));
  EXPECT_EQ(Statuses(back).size(), 1u);
  EXPECT_TRUE(WaitUntil([&] { return GreenLamp(); }));
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExitProgram();
}

}  // namespace

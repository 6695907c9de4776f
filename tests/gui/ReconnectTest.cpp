// "Reconnect to Chat" after the chat server refused the watcher's connect.
#include <windows.h>

#include <algorithm>

#include "GuiFixture.h"
#include "app/Resources.h"
#include "chat/Envelope.h"
#include "support/ChatServerProcess.h"

namespace {

using ReconnectTest = TGuiTest;

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(ReconnectTest, AfterRefusedConnect_ReconnectSignsOnAndResendsTheStatus) {
  TChatServerProcess server;
  ASSERT_TRUE(server.Command("refuse"));
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();

  // The watcher's connect fails: its message, then the red lamp, and the
  // watcher has ended.
  ASSERT_TRUE(RunUntil([&] {
    return Shown() == std::vector<std::string>{"message: Cannot connect to chat server"} &&
           form.Session.LogThread && form.Session.LogThread->Finished();
  }));
  RunFor(200);
  EXPECT_TRUE(IsWindowVisible(form.LedRosso));
  EXPECT_FALSE(IsWindowVisible(form.LedVerde));
  EXPECT_TRUE(MenuEnabled(IDM_CHAT1));
  EXPECT_TRUE(server.ReceivedLines().empty());

  ASSERT_TRUE(server.Command("listen"));
  Command(IDM_CHAT1);
  // The log has not grown since, yet the status goes out: a resend was asked.
  ASSERT_TRUE(
      RunUntil([&] { return Contains(server.ReceivedLines(), RoomLine("DRIVERS: Bob Big_Al")); }));
  auto lines = server.ReceivedLines();
  EXPECT_EQ(lines.front(), ChatEnvelope("/signon\t_Harbour_Night_Cup"));
  EXPECT_TRUE(Contains(lines, RoomLine("STATUS: 127.0.0.1 IN_RACE Gull Point 8 SIMULATION")));
  ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(form.LedVerde) != FALSE; }));
  EXPECT_FALSE(IsWindowVisible(form.LedRosso));
  EXPECT_FALSE(MenuEnabled(IDM_CHAT1));
  EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(ReconnectTest, ReconnectWhileTheWatcherRuns_StartsNoSecondWatcher) {
  TChatServerProcess server;
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(
      RunUntil([&] { return Contains(server.ReceivedLines(), RoomLine("DRIVERS: Bob Big_Al")); }));
  TThread* watcher = form.Session.LogThread.get();
  size_t before = server.ReceivedLines().size();
  // The command is offered until the first connect is shown; a click then
  // only asks the running watcher to send again.
  Command(IDM_CHAT1);
  EXPECT_EQ(form.Session.LogThread.get(), watcher);
  ASSERT_TRUE(RunUntil([&] { return server.ReceivedLines().size() >= before + 2; }));
  RunFor(500);
  EXPECT_EQ(server.CountOutput("/signon"), 1u);
}

}  // namespace

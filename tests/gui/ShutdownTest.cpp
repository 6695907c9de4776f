// Shutdown: the notice, StopAll in its order, "/quit" last, and a complete
// "./response.txt" whatever fails on the way.
#include <windows.h>

#include <atomic>
#include <thread>

#include "GuiFixture.h"
#include "app/Resources.h"
#include "chat/Envelope.h"
#include "support/ChatServerProcess.h"
#include "support/TcpMemorySocket.h"

namespace {

class ShutdownTest : public TGuiTest {
 protected:
  std::vector<std::string> ResponseLines() {
    std::string bytes = ReadFileBytes(Dir.File("response.txt"));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
      lines.push_back(bytes.substr(start, at - start));
    // Every line ends with CR LF: nothing is left unfinished in the file.
    EXPECT_EQ(start, bytes.size()) << "unfinished last line";
    return lines;
  }
  // A ping's line is followed by the rest that the pong carried.
  static void ExpectEveryPingFollowedByItsRest(const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find("/ping") != std::string::npos) {
        ASSERT_LT(i + 1, lines.size());
        EXPECT_EQ(lines[i + 1].find("<message"), std::string::npos) << "no rest after a ping";
      }
  }
  static size_t CountContaining(const std::vector<std::string>& lines, const std::string& text) {
    size_t n = 0;
    for (const auto& line : lines) n += line.find(text) != std::string::npos;
    return n;
  }
};

TEST_F(ShutdownTest, Exit_SaysQuitLastAndLeavesEveryMessageInTheResponseFile) {
  TChatServerProcess server({"--ping-interval", "100"});
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  StartForm();
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("/pong") >= 3; }));
  ExitProgram();
  ASSERT_TRUE(server.WaitForOutput("/quit", 10000));
  RunFor(300);
  auto received = server.ReceivedLines();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.back(), ChatEnvelope("/quit"));

  // Every ping the controller read is in the file, followed by the rest it
  // answered with; the file was closed, so the last buffered lines are there.
  auto lines = ResponseLines();
  size_t pongs = 0;
  for (const auto& line : received) pongs += line.find("/pong") != std::string::npos;
  EXPECT_EQ(CountContaining(lines, "/ping"), pongs);
  ExpectEveryPingFollowedByItsRest(lines);
}

TEST_F(ShutdownTest, ExitWhileTheWatcherSleeps_ShowsTheNoticeUntilEverythingStopped) {
  TChatServerProcess server;
  WriteSettings(server.Port(), 1500);
  WriteLog(RaceHistory());
  StartForm();
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("DRIVERS:") >= 1; }));

  std::atomic<bool> watching{true};
  std::atomic<bool> noticeSeen{false};
  std::thread watcher([&] {
    while (watching) {
      HWND notice = FindWindowA("Tfmmsg", "Shutdown");
      if (notice && IsWindowVisible(notice)) {
        char text[128] = {};
        GetWindowTextA(FindWindowExA(notice, nullptr, "STATIC", nullptr), text, sizeof text);
        if (std::string(text) == "Shutdown connection to chat server") noticeSeen = true;
      }
      Sleep(1);
    }
  });
  ExitProgram();
  watching = false;
  watcher.join();
  EXPECT_TRUE(noticeSeen);
  // The notice goes with the work it announced.
  EXPECT_EQ(FindWindowA("Tfmmsg", nullptr), nullptr);
  EXPECT_GE(server.CountOutput("/quit"), 1u);
}

TEST_F(ShutdownTest, QuitThatCannotBeWritten_StillClosesTheResponseFile) {
  auto sockets = std::make_shared<TMemorySocketStack>();
  auto peer = sockets->AddPeer();
  WriteSettings(7777);
  WriteLog(RaceHistory());
  TfmMainPorts ports;
  ports.ChatSockets = sockets;
  StartForm(ports);
  ASSERT_TRUE(RunUntil([&] { return peer->Sent().find("DRIVERS:") != std::string::npos; }));
  // A ping, answered: its lines wait in the response file's buffer.
  peer->Feed("<message value=\"/ping\t1\tx\"/>");
  ASSERT_TRUE(RunUntil([&] { return peer->Sent().find("/pong") != std::string::npos; }));
  EXPECT_EQ(ReadFileBytes(Dir.File("response.txt")), "");
  peer->FailSends(10054);
  ExitProgram();
  // The failed "/quit" is shown, and the file is complete all the same.
  auto shown = Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("error: ", 0), 0u);
  EXPECT_EQ(shown[0].back(), '.');
  auto lines = ResponseLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"<message value=\"/ping\t1\tx\"/>", "x"}));
  EXPECT_FALSE(Form->IdTCPClient1.IsConnected());
}

TEST_F(ShutdownTest, WatcherEndedByAFailedConnect_StillLeavesACompleteResponseFile) {
  TChatServerProcess server({"--ping-interval", "100"});
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("/pong") >= 2; }));
  // The chat server goes away: the receive loop ends, the next connect is
  // refused and the watcher ends with its message.
  ASSERT_TRUE(server.Command("refuse"));
  ASSERT_TRUE(server.Command("close all"));
  ASSERT_TRUE(RunUntil([&] { return form.Session.LogThread->Finished() && !Shown().empty(); }));
  ExitProgram();
  EXPECT_EQ(Shown(), std::vector<std::string>{"message: Cannot connect to chat server"});
  // Every ping whose answer reached the chat server is in the file, each with
  // the rest it was answered with. (A pong written as the server closed may
  // not have been read there, so the file can hold more pings than that.)
  size_t pongs = server.CountOutput("/pong");
  auto lines = ResponseLines();
  EXPECT_GE(pongs, 2u);
  EXPECT_GE(CountContaining(lines, "/ping"), pongs);
  ExpectEveryPingFollowedByItsRest(lines);
}

TEST_F(ShutdownTest, WhileTheThreadsStop_TheWindowAnswersOtherPrograms) {
  TChatServerProcess server;
  WriteSettings(server.Port(), 1500);
  WriteLog(RaceHistory());
  StartForm();
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("DRIVERS:") >= 1; }));
  // Another program asks the window something every few milliseconds, and
  // gives up on an answer after 300 ms, as the shell does before it calls a
  // window hung.
  HWND window = Form->Handle();
  std::atomic<bool> asking{true};
  std::atomic<int> answered{0}, unanswered{0};
  std::thread other([&] {
    while (asking) {
      DWORD_PTR result;
      if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 300, &result))
        ++answered;
      else if (IsWindow(window))
        ++unanswered;
      Sleep(20);
    }
  });
  ASSERT_TRUE(RunUntil([&] { return answered > 0; }));
  ExitProgram();
  asking = false;
  other.join();
  EXPECT_EQ(unanswered, 0);
}

// The loop takes its quit message out of the queue: a box of the shutdown,
// shown after the loop has ended, stays until the user closes it.
TEST(ShutdownLoop, ABoxShownAfterTheLoopEnded_StaysUntilClosed) {
  TApplication app;
  app.Terminate();
  app.Run();
  std::atomic<bool> stayed{false};
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i, Sleep(10)) box = FindWindowA("#32770", "Shutdown box");
    if (!box) return;
    Sleep(500);
    stayed = IsWindow(box) && IsWindowVisible(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  MessageBoxA(nullptr, "/quit could not be written", "Shutdown box", MB_OK);
  user.join();
  EXPECT_TRUE(stayed);
}

}  // namespace

// The window's thread never waits without reading its messages, runs no
// command inside another's wait, and every wait of a stop has a bound.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "GuiFixture.h"
#include "app/Resources.h"
#include "support/ChatServerProcess.h"
#include "support/LookupDirectoryPeer.h"
#include "support/TcpMemorySocket.h"

namespace {

using TClock = std::chrono::steady_clock;

// Records the boxes and, while one "is shown", handles the waiting messages as
// the modal loop of a real box does.
class TModalLoopBoxes : public TMessageBoxPort {
 public:
  void ShowMessage(const std::string& text) override { Show("message: " + text); }
  void ShowError(const std::string& text) override { Show("error: " + text); }
  std::vector<std::string> Shown;

 private:
  void Show(const std::string& entry) {
    Shown.push_back(entry);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
};

// Asks the window something from another program's thread every 50 ms, as the
// shell does before it calls a window "Not Responding", giving up on an
// answer after timeoutMs.
class TResponsivenessProbe {
 public:
  TResponsivenessProbe(HWND window, int timeoutMs)
      : Window_(window), TimeoutMs_(static_cast<UINT>(timeoutMs)), Thread_([this] { Run(); }) {}
  ~TResponsivenessProbe() {
    Asking_ = false;
    Thread_.join();
  }
  int Answered() const { return Answered_; }
  int Unanswered() const { return Unanswered_; }

 private:
  void Run() {
    while (Asking_) {
      DWORD_PTR result;
      if (SendMessageTimeoutA(Window_, WM_NULL, 0, 0, SMTO_BLOCK, TimeoutMs_, &result))
        ++Answered_;
      else if (IsWindow(Window_))
        ++Unanswered_;
      Sleep(50);
    }
  }
  HWND Window_;
  UINT TimeoutMs_;
  std::atomic<bool> Asking_{true};
  std::atomic<int> Answered_{0}, Unanswered_{0};
  std::thread Thread_;
};

class WaitRulesTest : public TGuiTest {
 protected:
  // Both addresses from the directory; extraServer goes into [SERVER].
  void WriteAutoSettings(const std::string& extraServer) {
    WriteFileBytes(Dir.File("Brennak.ini"),
                   "[FILE]\r\nLOG=game.log\r\n[DEFAULT]\r\nREFRESHTIME=100\r\n"
                   "[SERVER]\r\nIPADDRCHATSERVER=AUTO\r\nMYIP=AUTO\r\n" +
                       extraServer);
    WriteLog(RaceHistory());
  }
  static std::string DirectoryAnswer(int chatPort) {
    return DirectoryReplyBytes(200, "OK",
                               "&ChatServer_ip=127.0.0.1&ChatServer_port=" +
                                   std::to_string(chatPort) + "&my_ip=192.0.2.7");
  }
  void Post(int id) { PostMessageA(Form->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
};

TEST_F(WaitRulesTest, CommandChosenWhileAnotherWaits_RunsAfterItAndStartsNoSecondLookup) {
  TChatServerProcess chat;
  TDirectoryPeer directory(DirectoryAnswer(chat.Port()));
  directory.SetSilent();
  WriteAutoSettings("AUTORECONNECT=2\r\n");
  TfmMainPorts ports;
  ports.DirectoryBaseUrl = directory.BaseUrl();
  TfmMain& form = StartForm(ports);
  // The lookup in the background waits for the directory.
  ASSERT_TRUE(RunUntil([&] { return directory.Requests().size() == 1; }));
  directory.SetReply(DirectoryAnswer(chat.Port()));
  // "Retrive Auto IP" stops it and looks up itself; "Reconnect to Chat" and
  // "Iconize", chosen right after, wait until that is over, and then run.
  Post(IDM_RETRIVEAUTOIP1);
  Post(IDM_CHAT1);
  Post(IDM_CLOSE1);
  ASSERT_TRUE(RunUntil([&] { return !Shell.Calls.empty(); }));
  ASSERT_TRUE(RunUntil([&] { return chat.CountOutput("DRIVERS:") >= 1; }));
  RunFor(500);
  // "Reconnect to Chat" found the watcher running: no second lookup.
  EXPECT_EQ(directory.Requests().size(), 2u);
  EXPECT_EQ(chat.CountOutput("/signon"), 1u);
  EXPECT_TRUE(form.Session.LogThread && !form.Session.LogThread->Finished());
  EXPECT_TRUE(Shown().empty());
}

TEST_F(WaitRulesTest, CommandChosenAsTheProgramEnds_IsDroppedEvenByABoxOfTheShutdown) {
  auto sockets = std::make_shared<TMemorySocketStack>();
  auto peer = sockets->AddPeer();
  auto spare = sockets->AddPeer();
  WriteSettings(7777);
  WriteLog(RaceHistory());
  TModalLoopBoxes boxes;
  TfmMainPorts ports;
  ports.ChatSockets = sockets;
  ports.Messages = &boxes;
  TfmMain& form = StartForm(ports);
  ASSERT_TRUE(RunUntil([&] { return peer->Sent().find("DRIVERS:") != std::string::npos; }));
  // "/quit" will fail, and its box is shown while the window shuts down.
  peer->FailSends(10054);
  Command(IDM_EXIT1);
  ASSERT_TRUE(RunUntil([&] { return App.Terminated(); }));
  Post(IDM_CHAT1);
  form.Destroy();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].rfind("error: ", 0), 0u);
  // Nothing started after the end: no second connect, no second sign-on.
  EXPECT_EQ(sockets->Connects().size(), 1u);
  EXPECT_EQ(spare->Sent(), "");
  EXPECT_TRUE(form.Session.LogThread->Finished());
}

TEST_F(WaitRulesTest, RetriveAutoIPWhileTheDirectoryIsSlow_TheWindowKeepsAnswering) {
  TChatServerProcess chat;
  TDirectoryPeer directory(DirectoryReplyBytes(500, "Internal Server Error", ""));
  WriteAutoSettings("");
  TfmMainPorts ports;
  ports.DirectoryBaseUrl = directory.BaseUrl();
  TfmMain& form = StartForm(ports);
  ASSERT_EQ(Shown().size(), 1u);
  directory.SetReply(DirectoryAnswer(chat.Port()));
  directory.SetDelay(4000);
  // The lookup takes four seconds; no answer may take one.
  TResponsivenessProbe probe(form.Handle(), 1000);
  ASSERT_TRUE(RunUntil([&] { return probe.Answered() > 0; }));
  Command(IDM_RETRIVEAUTOIP1);
  EXPECT_TRUE(form.Session.LogThread && !form.Session.LogThread->Finished());
  EXPECT_EQ(probe.Unanswered(), 0);
}

TEST_F(WaitRulesTest, PongBehindAStuckAnnouncement_CostsTheLinkNotTheWindow) {
  auto sockets = std::make_shared<TMemorySocketStack>();
  auto peer = sockets->AddPeer();
  auto next = sockets->AddPeer();
  WriteSettings(7777);
  WriteLog(RaceHistory());
  TfmMainPorts ports;
  ports.ChatSockets = sockets;
  TfmMain& form = StartForm(ports);
  ASSERT_TRUE(RunUntil([&] { return peer->Sent().find("DRIVERS:") != std::string::npos; }));
  // The pong may hold the window up to its bound of a second, never more: the
  // probe gives it three.
  TResponsivenessProbe probe(form.Handle(), 3000);
  // The chat server stops reading: the next announcement waits for room,
  // holding the connection; a ping arrives meanwhile.
  peer->StopReading();
  AppendLog({"Server: Singleton player reset."});
  peer->Feed("<message value=\"/ping\t1\tx\"/>");
  // The pong gives up within its bound and the link is lost; the next pass
  // signs on anew and announces.
  ASSERT_TRUE(RunUntil([&] { return next->Sent().find("STATUS: ") != std::string::npos; }));
  EXPECT_EQ(next->Sent().find("<message value=\"/signon\t_Harbour_Night_Cup\"/>"), 0u);
  EXPECT_EQ(probe.Unanswered(), 0);
  peer->ResumeReading();
}

// What the watcher waits on when Exit comes.
struct TStuckCase {
  const char* Name;
  const char* ChatServer;
  std::function<void(TMemorySocketStack&)> Before;  // before the start
  std::function<void(TMemoryPeer&)> AfterSignOn;    // null: never signs on
};

class ExitBound : public WaitRulesTest, public ::testing::WithParamInterface<TStuckCase> {};

TEST_P(ExitBound, ExitWhileTheWatcherWaitsOnTheChatServer_EndsWithinTheBound) {
  const TStuckCase& c = GetParam();
  auto sockets = std::make_shared<TMemorySocketStack>();
  auto peer = sockets->AddPeer();
  c.Before(*sockets);
  WriteFileBytes(Dir.File("Brennak.ini"),
                 "[FILE]\r\nLOG=game.log\r\n[DEFAULT]\r\nREFRESHTIME=100\r\n[SERVER]\r\n"
                 "IPADDRCHATSERVER=" +
                     std::string(c.ChatServer) + "\r\nMYIP=127.0.0.1\r\nAUTORECONNECT=2\r\n");
  WriteLog(RaceHistory());
  TfmMainPorts ports;
  ports.ChatSockets = sockets;
  StartForm(ports);
  if (c.AfterSignOn) {
    ASSERT_TRUE(RunUntil([&] { return peer->Sent().find("DRIVERS:") != std::string::npos; }));
    c.AfterSignOn(*peer);
    AppendLog({"Server: Singleton player reset."});
  }
  RunFor(1000);
  // Should a wait have no bound, the peers let go after 20 s, so that the
  // test fails instead of hanging.
  std::atomic<bool> ended{false};
  std::thread release([&] {
    for (int i = 0; i < 200 && !ended; ++i) Sleep(100);
    sockets->HangConnects = false;
    sockets->ReleaseLookups();
    peer->ResumeReading();
  });
  const TClock::time_point exit = TClock::now();
  ExitProgram();
  const auto took = TClock::now() - exit;
  ended = true;
  release.join();
  // One pause between passes (0.1 s) plus 10 s, whatever the chat server does.
  EXPECT_LT(took, std::chrono::milliseconds(10100));
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ExitBound,
    ::testing::Values(TStuckCase{"HostDropsConnectionRequests", "127.0.0.1",
                                 [](TMemorySocketStack& s) { s.HangConnects = true; }, nullptr},
                      TStuckCase{"DnsServerNeverAnswers", "chat.example",
                                 [](TMemorySocketStack& s) { s.StallLookups(); }, nullptr},
                      TStuckCase{"ChatServerStopsReading", "127.0.0.1", [](TMemorySocketStack&) {},
                                 [](TMemoryPeer& p) { p.StopReading(); }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WaitRulesTest, EndOfTheWindowsSessionDuringExit_LeavesEveryLineOnDiskBeforeItReturns) {
  TChatServerProcess server({"--ping-interval", "100"});
  WriteSettings(server.Port(), 1500);
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("/pong") >= 3; }));
  HWND window = form.Handle();
  std::string onDisk;
  size_t pongs = 0;
  std::thread windows([&] {
    // Windows ends the session while the Exit waits for the watcher's sleep.
    for (int i = 0; i < 500 && !FindWindowA("Tfmmsg", "Shutdown"); ++i) Sleep(10);
    DWORD_PTR result;
    SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 15000, &result);
    SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 15000, &result);
    // From here on Windows may end the process at any moment.
    onDisk = ReadFileBytes(Dir.File("response.txt"));
    pongs = server.CountOutput("/pong");
  });
  Command(IDM_EXIT1);
  ASSERT_TRUE(RunUntil([&] { return App.Terminated(); }));
  form.Destroy();
  windows.join();
  ASSERT_GE(onDisk.size(), 2u);
  EXPECT_EQ(onDisk.substr(onDisk.size() - 2), "\r\n") << "a line is cut off";
  size_t pings = 0;
  for (size_t at = 0; (at = onDisk.find("/ping", at)) != std::string::npos; ++at) ++pings;
  // Every ping answered is on the disk.
  EXPECT_GE(pings, pongs);
  EXPECT_GE(pongs, 3u);
}

}  // namespace

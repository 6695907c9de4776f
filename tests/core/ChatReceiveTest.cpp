// The receive loop and the ping answer against a loopback chat server that the
// test drives byte by byte; "./response.txt" is read after the shutdown closed it.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "chat/RecThread.h"
#include "support/ChatFixtures.h"
#include "support/ChatLoopback.h"
#include "support/TcpMemorySocket.h"

namespace {

constexpr int kWait = 20000;
const std::string kPause = "\x01PAUSE";  // a chunk that means: wait out a read time-out

std::string Env(const std::string& payload) {
  return "<message value=\"" + payload + "\"/>";
}

// A connected rig with its receive loop running and the sign-on read off.
struct TConnectedRig {
  TChatRig Rig;
  TChatListener Server;
  std::unique_ptr<TChatPeer> Peer;
  size_t SignOnBytes = 0;

  TConnectedRig() {
    Rig.Connect(Server.Port());
    Peer = Server.Accept(kWait);
    if (!Peer) throw std::runtime_error("no connection");
    SignOnBytes = Peer->ReadLines(4, kWait).size();
  }
  // Lines the controller sent after the sign-on, without their CR LF.
  std::vector<std::string> LinesAfterSignOn() {
    std::vector<std::string> lines;
    std::string rest = Peer->Received().substr(SignOnBytes);
    size_t end;
    while ((end = rest.find("\r\n")) != std::string::npos) {
      lines.push_back(rest.substr(0, end));
      rest.erase(0, end + 2);
    }
    return lines;
  }
  // The status window's shutdown: CloseChat on the user-interface thread, then
  // the connection closed and "./response.txt" with it.
  std::string Shutdown() {
    Rig.OnUi([&] { Rig.Link.CloseChat(); });
    Rig.Link.CloseConnection();
    Peer->WaitForClose(kWait);
    return Rig.ResponseAfterShutdown();
  }
};

struct TReceiveCase {
  const char* Name;
  std::vector<std::string> Chunks;  // sent in order; kPause waits out a read time-out
  std::vector<std::string> Pongs;   // lines the controller answers with
  std::string Response;             // "./response.txt" after shutdown
};

class ChatReceive : public ::testing::TestWithParam<TReceiveCase> {};

}  // namespace

TEST_P(ChatReceive, CopiesEachMessageAndAnswersPings) {
  const TReceiveCase& c = GetParam();
  TConnectedRig r;
  for (const std::string& chunk : c.Chunks) {
    if (chunk == kPause)
      std::this_thread::sleep_for(std::chrono::milliseconds(4 * TChatRig::kReadTimeout));
    else
      ASSERT_TRUE(r.Peer->Send(chunk));
  }
  // Every case ends with a ping, so its pong marks the end of the handling.
  r.Peer->ReadLines(4 + c.Pongs.size(), kWait);
  std::string response = r.Shutdown();

  std::vector<std::string> expected = c.Pongs;
  expected.push_back(Env("/quit"));
  EXPECT_EQ(r.LinesAfterSignOn(), expected);
  EXPECT_EQ(response, c.Response);
  EXPECT_FALSE(r.Rig.ReceiverRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChatReceive,
    ::testing::Values(
        TReceiveCase{"PingWithTwoFields",
                     {Env("/ping\tA\tB")},
                     {Env("/pong\tA\tB")},
                     Env("/ping\tA\tB") + "\r\nB\r\n"},
        // The line break between two messages starts the second one.
        TReceiveCase{"BackToBackWithCrLfBetween",
                     {Env("/welcome\t_A") + "\r\n" + Env("/ping\tA\tB") + "\r\n"},
                     {Env("/pong\tA\tB")},
                     Env("/welcome\t_A") + "\r\n\r\n" + Env("/ping\tA\tB") + "\r\nB\r\n"},
        TReceiveCase{"GreaterThanInsideAValueEndsTheMessage",
                     {Env("a>b") + Env("/ping\t1\t2")},
                     {Env("/pong\t1\t2")},
                     "<message value=\"a>\r\nb\"/>\r\n" + Env("/ping\t1\t2") + "\r\n2\r\n"},
        TReceiveCase{"PingWithoutTab",
                     {Env("/ping")},
                     {Env("/pong\t\t<message value=\"/ping")},
                     Env("/ping") + "\r\n<message value=\"/ping\r\n"},
        TReceiveCase{"PingWithOneTab",
                     {Env("/ping\tX")},
                     {Env("/pong\t\tX")},
                     Env("/ping\tX") + "\r\nX\r\n"},
        TReceiveCase{"PingInsideOtherText",
                     {Env("/said\tServerList\t_B\tsee /ping here")},
                     {Env("/pong\tServerList\t_B\tsee /ping here")},
                     Env("/said\tServerList\t_B\tsee /ping here") + "\r\n_B\tsee /ping here\r\n"},
        // The rest of a TAB-less ping holds the line break before it; in the
        // pong it goes out as blanks, so the pong stays one line.
        TReceiveCase{"PingWithoutTabAfterALineBreak",
                     {Env("/x") + "\r\n" + Env("/ping")},
                     {Env("/pong\t\t  <message value=\"/ping")},
                     Env("/x") + "\r\n\r\n" + Env("/ping") + "\r\n\r\n<message value=\"/ping\r\n"},
        TReceiveCase{"OtherMessagesAreOnlyCopied",
                     {Env("/PING\t1\t2") + Env("/welcome") + Env("/ping\tA\tB")},
                     {Env("/pong\tA\tB")},
                     Env("/PING\t1\t2") + "\r\n" + Env("/welcome") + "\r\n" + Env("/ping\tA\tB") +
                         "\r\nB\r\n"},
        // The half of a ping read before the time-out is dropped; the rest
        // starts a message of its own, which is no ping.
        TReceiveCase{"ReadTimeOutInTheMiddleOfAMessage",
                     {"<message value=\"/pi", kPause, "ng\tA\tB\"/>", Env("/ping\tC\tD")},
                     {Env("/pong\tC\tD")},
                     "ng\tA\tB\"/>\r\n" + Env("/ping\tC\tD") + "\r\nD\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ChatReceiveLimits, AMessageWithoutGreaterThanIsCutAt64KiBAndHandledAsOne) {
  TConnectedRig r;
  const std::string head = "<message value=\"/ping\tQ\t";
  const size_t cut = TRecThread::kMaxMessage;
  ASSERT_EQ(cut, 65536u);
  std::string flood = head + std::string(cut - head.size() + 1000, 'y');
  ASSERT_TRUE(r.Peer->Send(flood + "\"/>" + Env("/ping\tA\tB")));
  r.Peer->ReadLines(6, kWait);
  std::string response = r.Shutdown();

  // The first 64 KiB are one message, and a ping: answered with its rest less
  // three bytes. The remainder is a message of its own.
  const std::string rest(cut - head.size() - 3, 'y');
  std::vector<std::string> expected = {Env("/pong\tQ\t" + rest), Env("/pong\tA\tB"), Env("/quit")};
  EXPECT_EQ(r.LinesAfterSignOn(), expected);
  EXPECT_EQ(response, flood.substr(0, cut) + "\r\n" + rest + "\r\n" + std::string(1000, 'y') +
                          "\"/>\r\n" + Env("/ping\tA\tB") + "\r\nB\r\n");
}

TEST(ChatReceiveLimits, AFloodWithoutGreaterThanIsCopiedInPiecesOf64KiB) {
  TConnectedRig r;
  const size_t cut = TRecThread::kMaxMessage;
  ASSERT_TRUE(r.Peer->Send(std::string(3 * cut + 5, 'z') + ">" + Env("/ping\tA\tB")));
  r.Peer->ReadLines(5, kWait);
  std::string response = r.Shutdown();
  std::string z(cut, 'z');
  EXPECT_EQ(response,
            z + "\r\n" + z + "\r\n" + z + "\r\nzzzzz>\r\n" + Env("/ping\tA\tB") + "\r\nB\r\n");
}

TEST(ChatReceiveLoop, EndsByItselfWhenTheChatServerCloses) {
  TConnectedRig r;
  ASSERT_TRUE(r.Rig.ReceiverRunning());
  r.Peer->Close();
  // No stop request: the loop meets the close and ends, rather than spinning.
  EXPECT_TRUE(Eventually([&] { return !r.Rig.ReceiverRunning(); }));
  EXPECT_FALSE(r.Rig.Link.IsConnected());
  r.Rig.OnUi([&] { r.Rig.Link.CloseChat(); });  // nothing left to stop or to say
  EXPECT_EQ(r.Rig.ResponseAfterShutdown(), "");
}

TEST(ChatReceiveLoop, EndsByItselfWhenThisSideClosesTheConnection) {
  TConnectedRig r;
  ASSERT_TRUE(r.Rig.ReceiverRunning());
  // A close from another thread while the loop waits in a read: that read and
  // every later one fail, so the loop ends instead of retrying.
  r.Rig.Link.CloseConnection();
  EXPECT_TRUE(Eventually([&] { return !r.Rig.ReceiverRunning(); }));
  EXPECT_TRUE(r.Peer->WaitForClose(kWait));
}

TEST(ChatReceiveLoop, AResetClosesTheConnectionAndReportsItLost) {
  // A read that meets a reset fails with 10054 and leaves the socket open;
  // made to happen here at the socket layer.
  TChatRig rig;
  auto sockets = std::make_shared<TMemorySocketStack>();
  auto peer = sockets->AddPeer();
  rig.Client.UseSocketStack(sockets);
  std::atomic<int> lost{0};
  rig.Link.OnConnectionLost = [&] { ++lost; };
  rig.Connect(7777);
  peer->FailReceives(10054);
  EXPECT_TRUE(Eventually([&] { return !rig.ReceiverRunning(); }));
  // Not connected any more: the watcher's next pass signs on again.
  EXPECT_FALSE(rig.Link.IsConnected());
  EXPECT_EQ(lost, 1);
}

TEST(ChatReceiveLoop, KeepsReadingThroughReadTimeOuts) {
  TConnectedRig r;
  std::this_thread::sleep_for(std::chrono::milliseconds(5 * TChatRig::kReadTimeout));
  EXPECT_TRUE(r.Rig.ReceiverRunning());
  ASSERT_TRUE(r.Peer->Send(Env("/ping\tA\tB")));
  r.Peer->ReadLines(5, kWait);
  EXPECT_EQ(r.LinesAfterSignOn(), std::vector<std::string>{Env("/pong\tA\tB")});
  r.Shutdown();
}

TEST(ChatReceiveLoop, APongThatCannotBeSentIsDropped) {
  TConnectedRig r;
  // The ping arrives, then the chat server is gone before the answer goes out.
  ASSERT_TRUE(r.Peer->Send(Env("/ping\tA\tB") + Env("/ping\tC\tD")));
  r.Peer->Close();
  EXPECT_TRUE(Eventually([&] { return !r.Rig.ReceiverRunning(); }));
  r.Rig.OnUi([&] { r.Rig.Link.CloseChat(); });
  std::string response = r.Rig.ResponseAfterShutdown();
  // Both messages were read and copied whatever became of their pongs.
  EXPECT_EQ(response.find(Env("/ping\tA\tB") + "\r\n"), 0u) << response;
  EXPECT_NE(response.find(Env("/ping\tC\tD") + "\r\n"), std::string::npos) << response;
}

TEST(ChatCloseChat, WithoutReceiveThreadSaysOnlyQuit) {
  TChatRig rig;
  TChatListener server;
  rig.Link.SetTarget("127.0.0.1", server.Port());
  rig.Link.OpenConnection();
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  rig.OnUi([&] { rig.Link.CloseChat(); });
  rig.Link.CloseConnection();
  ASSERT_TRUE(peer->WaitForClose(kWait));
  const std::string& got = peer->Received();
  EXPECT_EQ(CountLines(got), 5u);
  const std::string quit = Env("/quit") + "\r\n";
  EXPECT_EQ(got.substr(got.size() - quit.size()), quit);
}

TEST(ChatCloseChat, WithTheConnectionClosedSaysNothing) {
  TChatRig rig;
  rig.OnUi([&] { rig.Link.CloseChat(); });  // never connected

  TChatListener server;
  rig.Connect(server.Port());
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  rig.Link.CloseConnection();
  rig.OnUi([&] { rig.Link.CloseChat(); });
  ASSERT_TRUE(peer->WaitForClose(kWait));
  EXPECT_EQ(CountLines(peer->Received()), 4u);
  EXPECT_FALSE(rig.ReceiverRunning());
}

TEST(ChatCloseChat, ServesAHandoverInFlightAtTheMomentOfTheStop) {
  std::atomic<int> queued{0};
  TTempDir dir;
  TSession session;
  session.ResponseLog.Rewrite(dir.File("response.txt"));
  // The bridge reports every call queued for the "UI" thread.
  TUiBridge ui([&] { ++queued; });
  TTestUiThread uiThread(ui);
  TIdTCPClient client;
  client.ReadTimeout = 5000;  // as IdTCPClient1: the stop is not seen by a time-out here
  TChatLink link(session, client, ui);
  TChatListener server;
  link.SetTarget("127.0.0.1", server.Port());
  link.OpenConnection();
  link.StartReceiver();
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  peer->ReadLines(4, kWait);

  // The user-interface thread is busy when the ping comes in; it goes on to
  // StopAll's CloseChat only once the receive thread waits in its handover.
  std::promise<void> closed;
  ui.Post([&] {
    int before = queued;
    peer->Send(Env("/ping\tA\tB"));
    Eventually([&] { return queued > before; });
    link.CloseChat();
    closed.set_value();
  });
  auto done = closed.get_future();
  if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "CloseChat and the handover block each other";
    std::abort();  // the threads cannot be cleaned up from a deadlock
  }
  // The handover ran (the ping was answered) before the quit.
  peer->ReadLines(6, kWait);
  std::string got = peer->Received();
  EXPECT_NE(got.find(Env("/pong\tA\tB") + "\r\n" + Env("/quit") + "\r\n"), std::string::npos)
      << got;
  std::lock_guard<std::mutex> lock(session.StateLock);
  EXPECT_EQ(session.ReceiveThread, nullptr);
}

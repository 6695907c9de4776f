#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "session/IntConv.h"
#include "support/ChatFixtures.h"
#include "support/LookupDirectoryPeer.h"
#include "support/LookupFixture.h"

namespace {

const std::string kBoth = "&ChatServer_ip=192.0.2.10&ChatServer_port=7777&my_ip=198.51.100.7";
const std::string kLookupFailed =
    "message: Cannot retrive automatic IP info. Is connection to Internet up?";
const std::string kBusy = "message: Cannot retrive automatic IP info. Server busy.";

std::string Ok(const std::string& body) {
  return DirectoryReplyBytes(200, "OK", body);
}

// Connections the server has accepted before this call. A request of our own
// is answered only after every connection queued before it was taken, so the
// count is exact without waiting.
int ConnectionsBefore(TDirectoryPeer& server) {
  TIdHTTP probe;
  try {
    probe.FetchUrl(server.BaseUrl() + "/probe");
  } catch (const std::exception&) {
  }
  return server.Connections() - 1;
}

}  // namespace

using StartSequence = LookupFixture;

TEST_F(StartSequence, NothingAutomatic_AsksNobodyAndStartsTheWatcher) {
  TDirectoryPeer server(Ok(kBoth));
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(ConnectionsBefore(server), 0);
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, std::vector<bool>{false});
  EXPECT_EQ(Fields(),
            (TLookupFields{kSettingsChatIp, kSettingsChatPort, kSettingsLocalIp, false, false}));
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 10.0.0.2 "));
  EXPECT_EQ(Chat.Host(), kSettingsChatIp);
  EXPECT_EQ(Chat.Port(), kSettingsChatPort);
  EXPECT_TRUE(Boxes.Shown().empty());
}

TEST_F(StartSequence, BothAutomatic_StoresTheDirectorysValuesAndKeepsTheFlags) {
  TDirectoryPeer server(Ok(kBoth));
  Session.ChatAuto = Session.LocalAuto = true;
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.10", 7777, "198.51.100.7", true, true}));
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, std::vector<bool>{false});
  EXPECT_TRUE(Boxes.Shown().empty());
  // The watcher works with what was looked up.
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 198.51.100.7 IN_RACE "));
  EXPECT_EQ(Chat.Host(), "192.0.2.10");
  EXPECT_EQ(Chat.Port(), 7777);
}

TEST_F(StartSequence, SendsTheLookupRequestExactlyAsWritten) {
  TDirectoryPeer server(Ok(kBoth));
  Session.LocalAuto = true;
  Sequence(server.BaseUrl()).StartMonitoring();

  std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral"
            "&UsVersion=1.0.0.1 HTTP/1.1");
}

TEST_F(StartSequence, OnlyOwnAddress_SearchesWholeBodyAndKeepsTheChatServer) {
  // The own address first: with the chat server not asked for, nothing is
  // consumed before "&my_ip=" is searched.
  TDirectoryPeer server(Ok("&my_ip=203.0.113.5&ChatServer_ip=192.0.2.10&ChatServer_port=1"));
  Session.LocalAuto = true;
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(Fields(),
            (TLookupFields{kSettingsChatIp, kSettingsChatPort, "203.0.113.5", false, true}));
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_TRUE(WatcherRunning());
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 203.0.113.5 "));
  EXPECT_EQ(Chat.Host(), kSettingsChatIp);
}

TEST_F(StartSequence, OnlyChatServer_KeepsTheOwnAddress) {
  TDirectoryPeer server(Ok(kBoth));
  Session.ChatAuto = true;
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.10", 7777, kSettingsLocalIp, true, false}));
  EXPECT_TRUE(WatcherRunning());
}

struct BodyCase {
  const char* Name;
  std::string Body;
  TLookupFields After;
};

inline void PrintTo(const BodyCase& c, std::ostream* os) {
  *os << c.Name;
}

class StartSequenceBodies : public LookupFixture, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(StartSequenceBodies, TakesValuesAsTheyStand) {
  TDirectoryPeer server(Ok(GetParam().Body));
  Session.ChatAuto = Session.LocalAuto = true;
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(Fields(), GetParam().After);
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, std::vector<bool>{false});
  EXPECT_TRUE(Boxes.Shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StartSequenceBodies,
    ::testing::Values(BodyCase{"LineEndAfterLastValue",
                               kBoth + "\r\n",
                               {"192.0.2.10", 7777, "198.51.100.7\r\n", true, true}},
                      BodyCase{"HexPort0x",
                               "&ChatServer_ip=192.0.2.10&ChatServer_port=0x1E61&my_ip=a",
                               {"192.0.2.10", 7777, "a", true, true}},
                      BodyCase{"HexPortDollar",
                               "&ChatServer_ip=192.0.2.10&ChatServer_port=$1E61&my_ip=a",
                               {"192.0.2.10", 7777, "a", true, true}},
                      BodyCase{"EmptyAddress",
                               "&ChatServer_ip=&ChatServer_port=7777&my_ip=a",
                               {"", 7777, "a", true, true}},
                      BodyCase{"NoRangeCheckOnThePort",
                               "&ChatServer_ip=h&ChatServer_port=-5&my_ip=a",
                               {"h", -5, "a", true, true}},
                      BodyCase{"TextBeforeFirstKey",
                               "<html><head><title>ServerList</title></head>\r\n" + kBoth,
                               {"192.0.2.10", 7777, "198.51.100.7", true, true}}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.Name); });

TEST_F(StartSequence, PortWithLineEnd_RaisesWithOnlyTheAddressStored) {
  TDirectoryPeer server(Ok("&ChatServer_ip=192.0.2.10&ChatServer_port=7777\r\n"));
  Session.ChatAuto = true;
  try {
    Sequence(server.BaseUrl()).StartMonitoring();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'7777\r\n' is not a valid integer value");
  }
  EXPECT_EQ(Fields(),
            (TLookupFields{"192.0.2.10", kSettingsChatPort, kSettingsLocalIp, true, false}));
  EXPECT_FALSE(Session.LogThread);
  EXPECT_TRUE(Window.Calls.empty());   // the item keeps its state
  EXPECT_TRUE(Boxes.Shown().empty());  // the window's error display shows it
}

TEST_F(StartSequence, BadPortWithOwnAddressAfterIt_LeavesTheOwnAddress) {
  TDirectoryPeer server(Ok("&ChatServer_ip=192.0.2.10&ChatServer_port=77x7&my_ip=a"));
  Session.ChatAuto = Session.LocalAuto = true;
  EXPECT_THROW(Sequence(server.BaseUrl()).RetriveAutoIP1Click(), EConvertError);
  EXPECT_EQ(Fields(),
            (TLookupFields{"192.0.2.10", kSettingsChatPort, kSettingsLocalIp, true, true}));
  EXPECT_FALSE(Session.LogThread);
  EXPECT_TRUE(Window.Calls.empty());
}

struct FailureCase {
  const char* Name;
  std::string Reply;
  std::string Message;
};

inline void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.Name;
}

class StartSequenceFailures : public LookupFixture,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartSequenceFailures, ShowsTheMessageAndLeavesTheSessionForAnotherTry) {
  TDirectoryPeer server(GetParam().Reply);
  Session.ChatAuto = Session.LocalAuto = true;
  TLookupFields before = Fields();
  Sequence(server.BaseUrl()).StartMonitoring();

  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{GetParam().Message});
  EXPECT_EQ(Fields(), before);
  EXPECT_FALSE(Session.LogThread);
  EXPECT_EQ(Window.Calls, std::vector<bool>{true});
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(Http.ReadTimeout, 0);  // the lookup's time-out is its own
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StartSequenceFailures,
    ::testing::Values(
        FailureCase{"NoContent204", "HTTP/1.1 204 No Content\r\n\r\n", kBusy},
        FailureCase{"Accepted202", DirectoryReplyBytes(202, "Accepted", kBoth), kBusy},
        FailureCase{"Redirect302",
                    DirectoryReplyBytes(302, "Found", kBoth, "Location: http://127.0.0.1:1/\r\n"),
                    kLookupFailed},
        FailureCase{"NotFound404", DirectoryReplyBytes(404, "Not Found", kBoth), kLookupFailed},
        FailureCase{"Error500", DirectoryReplyBytes(500, "Internal Server Error", kBoth),
                    kLookupFailed},
        FailureCase{"ClosedWithoutReply", "", kLookupFailed},
        FailureCase{"GarbageStatusLine", "SSH-2.0-OpenSSH_9.2\r\n\r\n", kLookupFailed},
        // A reply cut short: every key is needed before anything is stored.
        FailureCase{"EmptyBody", Ok(""), kBusy},
        FailureCase{"PortMissing", Ok("&ChatServer_ip=192.0.2.10&my_ip=198.51.100.7"), kBusy},
        FailureCase{"OwnAddressMissing", Ok("&ChatServer_ip=192.0.2.10&ChatServer_port=7777"),
                    kBusy},
        FailureCase{"OwnAddressBeforeTheChatServer",
                    Ok("&my_ip=198.51.100.7&ChatServer_ip=192.0.2.10&ChatServer_port=7777"), kBusy},
        FailureCase{"KeysInOtherCase",
                    Ok("&chatserver_ip=192.0.2.10&chatserver_port=7777&MY_IP=198.51.100.7"),
                    kBusy}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.Name); });

TEST_F(StartSequence, SilentDirectory_TimesOutLikeAnyTransferFailure) {
  TDirectoryPeer server("");
  server.SetSilent();
  Session.LocalAuto = true;
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.LookupReadTimeout = 200;
  sequence.StartMonitoring();

  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{kLookupFailed});
  // The lookup gave up by itself: it was not the server that ended the wait.
  EXPECT_TRUE(server.WaitClosedByClient(1, 5000));
  EXPECT_EQ(Session.LocalAddress, kSettingsLocalIp);
  EXPECT_FALSE(Session.LogThread);
  EXPECT_EQ(Window.Calls, std::vector<bool>{true});
  EXPECT_EQ(Http.ReadTimeout, 0);
}

TEST_F(StartSequence, NobodyListening_FailsLikeNoInternet) {
  std::string base;
  {
    TDirectoryPeer gone("");
    base = gone.BaseUrl();
  }
  Session.ChatAuto = true;
  Sequence(base).StartMonitoring();

  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{kLookupFailed});
  EXPECT_EQ(Session.ChatServerAddress, kSettingsChatIp);
  EXPECT_FALSE(Session.LogThread);
  EXPECT_EQ(Window.Calls, std::vector<bool>{true});
}

TEST_F(StartSequence, RetriveAutoIPAfterFailure_RepeatsTheLookupAndStartsTheWatcher) {
  TDirectoryPeer server(DirectoryReplyBytes(500, "Internal Server Error", ""));
  Session.ChatAuto = Session.LocalAuto = true;
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.StartMonitoring();
  ASSERT_FALSE(Session.LogThread);
  ASSERT_EQ(Window.Calls, std::vector<bool>{true});

  sequence.RetriveAutoIP1Click();  // still failing
  EXPECT_EQ(Window.Calls, (std::vector<bool>{true, true}));
  EXPECT_FALSE(Session.LogThread);

  server.SetReply(Ok(kBoth));
  sequence.RetriveAutoIP1Click();
  EXPECT_EQ(server.Connections(), 3);
  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.10", 7777, "198.51.100.7", true, true}));
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(Boxes.Shown(), (std::vector<std::string>{kLookupFailed, kLookupFailed}));
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 198.51.100.7 "));
}

TEST_F(StartSequence, WatcherStillRunning_StartsNoSecondOneAndAsksNobody) {
  TDirectoryPeer server(Ok(kBoth));
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.StartMonitoring();
  ASSERT_TRUE(WatcherRunning());
  const TThread* first = Session.LogThread.get();

  Session.ChatAuto = Session.LocalAuto = true;
  Session.RequestResend();
  sequence.StartMonitoring();

  EXPECT_EQ(Session.LogThread.get(), first);
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(ConnectionsBefore(server), 0);
  EXPECT_EQ(Window.Calls, std::vector<bool>{false});
  EXPECT_EQ(Session.LocalAddress, kSettingsLocalIp);
}

TEST_F(StartSequence, AfterTheWatcherEnded_AsksTheDirectoryAgain) {
  TDirectoryPeer server(Ok(kBoth));
  Session.ChatAuto = Session.LocalAuto = true;
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.StartMonitoring();
  ASSERT_TRUE(WatcherRunning());
  StopWatcher();

  // The settings change between the runs (an accepted Connection dialog that
  // keeps "AUTO"); the directory's answer replaces them again.
  Session.ChatServerAddress = kSettingsChatIp;
  Session.LocalAddress = kSettingsLocalIp;
  server.SetReply(Ok("&ChatServer_ip=192.0.2.99&ChatServer_port=7000&my_ip=198.51.100.99"));
  sequence.StartMonitoring();

  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.99", 7000, "198.51.100.99", true, true}));
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, (std::vector<bool>{false, false}));
}

TEST_F(StartSequence, ReconnectChosenBeforeTheFailedWatcherHasEnded_TriesAgain) {
  Chat.RefuseConnect(true);
  TStartSequence& sequence = Sequence("http://127.0.0.1:9");
  std::promise<void> boxShown, okPressed;
  std::shared_future<void> ok = okPressed.get_future().share();
  std::atomic<bool> first{true};
  WatcherWindow.WhileMessageShown = [&] {
    if (!first.exchange(false)) return;
    boxShown.set_value();
    ok.wait();
  };
  sequence.StartMonitoring();
  boxShown.get_future().wait();
  // "Reconnect to Chat" comes in while the watcher that failed has not yet
  // ended: either that watcher goes on, or a new one starts.
  Session.RequestResend();
  sequence.StartMonitoring();
  okPressed.set_value();

  ASSERT_TRUE(Eventually([&] { return Chat.Connects() == 2 && !WatcherRunning(); }))
      << Chat.Connects() << " connects";
}

TEST_F(StartSequence, DrippingDirectory_EndsWithinTheWholeLookupsBound) {
  TDirectoryPeer server("");
  server.SetDripping(50);  // each byte well within the read time-out
  Session.LocalAuto = true;
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.LookupDeadline = 300;

  EXPECT_FALSE(sequence.FetchAutoIP(true, false));
  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{kLookupFailed});
  // The lookup gave up by itself while the directory was still dripping.
  EXPECT_TRUE(server.WaitClosedByClient(1, 5000));
  EXPECT_EQ(Session.LocalAddress, kSettingsLocalIp);
}

// With AUTORECONNECT the start runs the lookup in the background; the test's
// thread, the user-interface thread here, takes the values over.
class StartSequenceHealing : public LookupFixture {
 protected:
  void SetUp() override {
    LookupFixture::SetUp();
    Session.AutoReconnect = 1;
    Session.ChatAuto = Session.LocalAuto = true;
  }
  bool ServeUntil(const std::function<bool()>& done) {
    return Eventually([&] {
      Ui.RunPending();
      return done();
    });
  }
};

TEST_F(StartSequenceHealing, FailedLookupShowsNoBoxAndTheFirstSuccessStartsTheWatcher) {
  TDirectoryPeer server(DirectoryReplyBytes(500, "Internal Server Error", ""));
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.StartMonitoring();
  ASSERT_TRUE(ServeUntil([&] { return server.Connections() >= 3; }));
  EXPECT_FALSE(Session.LogThread);

  server.SetReply(Ok(kBoth));
  ASSERT_TRUE(ServeUntil([&] { return WatcherRunning(); }));
  EXPECT_TRUE(Boxes.Shown().empty());
  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.10", 7777, "198.51.100.7", true, true}));
  EXPECT_EQ(Window.Calls, (std::vector<bool>{true, false}));
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 198.51.100.7 "));
}

TEST_F(StartSequenceHealing, StopGivesUpALookupThatWaitsForTheDirectory) {
  TDirectoryPeer server("");
  server.SetSilent();
  TStartSequence& sequence = Sequence(server.BaseUrl());
  sequence.LookupReadTimeout = sequence.LookupDeadline = 60000;
  sequence.StartMonitoring();
  ASSERT_TRUE(ServeUntil([&] { return server.Requests().size() == 1; }));

  sequence.StopLookup();
  // Closed by the lookup, not by the silent directory giving up after 10 s.
  EXPECT_TRUE(server.WaitClosedByClient(1, 5000));
  EXPECT_FALSE(Session.LogThread);
  EXPECT_TRUE(Boxes.Shown().empty());
}

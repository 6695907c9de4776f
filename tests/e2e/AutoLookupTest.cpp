// Scenario 6: "AUTO" for both the chat server and the own address. The
// program asks its directory (directory.orvane.net, port 80: tools/directory
// on loopback, the name mapped by the runner) before it starts watching; when
// the directory is gone or in trouble it says so, starts nothing and offers
// "Retrive Auto IP", which repeats the whole start once the directory is back.
#include "app/ControlIds.h"
#include "app/Resources.h"
#include "dialogs/ConnOpz.h"
#include "e2e/E2eFixture.h"

namespace {

const char kInternetDown[] = "Cannot retrive automatic IP info. Is connection to Internet up?";
const char kServerBusy[] = "Cannot retrive automatic IP info. Server busy.";

class AutoLookupTest : public TDirectoryE2eTest {
 protected:
  void WriteAutoSettings(int chatPort = 7777) {
    WriteFile("Brennak.ini", Settings("AUTO", chatPort, "AUTO"));
  }
  // "Retrive Auto IP" greyed, where the menu can be read from outside.
  void ExpectRetriveAutoIP(bool enabled) {
    int state = TWindowDriver::MenuState(Main(), IDM_RETRIVEAUTOIP1);
    if (state != -1) {
      EXPECT_EQ(!(state & MF_GRAYED), enabled) << "Retrive Auto IP";
    }
  }
};

TEST_F(AutoLookupTest, BothAuto_DirectoryGivesTheChatServerThenGoneThenBack) {
  TChatServerProcess& chat = StartChatServer();
  ASSERT_TRUE(
      StartDirectory({"--chat-ip", "127.0.0.1", "--chat-port", std::to_string(chat.Port())}));
  // The settings' port is not the chat server's: only the directory's answer
  // leads to it.
  WriteAutoSettings(7777);
  RunGamelog({"--lines", "60"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);

  // Expected: the looked-up chat server gets the sign-on, and the status line
  // carries the address under which the directory saw the program.
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(Received(chat).at(0), "<message value=\"/signon\t_Gull_Point_Racing\"/>");
  EXPECT_EQ(Statuses(chat).back().rfind(RoomHead("STATUS: 127.0.0.1 "), 0), 0u)
      << Statuses(chat).back();
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExpectRetriveAutoIP(false);

  // The directory goes. An accepted Connection dialog that keeps "AUTO" asks
  // it again: the message, no watcher, "Retrive Auto IP" offered.
  StopDirectory();
  Menu(IDM_CONNECTION1);
  HWND dialog = Driver().WaitFor("#32770", TfmConnOpz::kCaption, kWait);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(TWindowDriver::Checked(TWindowDriver::Control(dialog, TfmConnOpz::kIdCBLocAutoIP)));
  EXPECT_TRUE(TWindowDriver::Checked(TWindowDriver::Control(dialog, TfmConnOpz::kIdCBAutoChat)));
  TWindowDriver::Click(dialog, TfmConnOpz::kIdBitBtn1);
  EXPECT_EQ(TakeMessageBox(), kInternetDown);
  ASSERT_TRUE(WaitForReceived(chat, "/quit"));
  EXPECT_TRUE(WaitUntil([&] { return !Driver().Find("Tfmmsg", ""); }, 5000));
  Pause(1000);
  EXPECT_EQ(CountContaining(Received(chat), "/signon"), 1u) << "a watcher ran without a lookup";
  ExpectRetriveAutoIP(true);
  std::string saved = ReadFile("Brennak.ini");
  EXPECT_NE(saved.find("IPADDRCHATSERVER=AUTO"), std::string::npos) << saved;
  EXPECT_NE(saved.find("MYIP=AUTO"), std::string::npos) << saved;

  // The directory is back: "Retrive Auto IP" looks up and starts the watcher,
  // which signs on again and sends the status again (the dialog asked for it).
  ASSERT_TRUE(
      StartDirectory({"--chat-ip", "127.0.0.1", "--chat-port", std::to_string(chat.Port())}));
  Menu(IDM_RETRIVEAUTOIP1);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 2));
  EXPECT_EQ(CountContaining(Received(chat), "/signon"), 2u);
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExpectRetriveAutoIP(false);
  ExitProgram();
}

TEST_F(AutoLookupTest, DirectoryInTrouble_BusyAndBadPortAreShownAndNothingStarts) {
  TChatServerProcess& chat = StartChatServer();
  ASSERT_TRUE(
      StartDirectory({"--chat-port", std::to_string(chat.Port()), "--reply", "no-content"}));
  WriteAutoSettings();
  RunGamelog({"--lines", "20"});
  // The lookup runs while the program starts: its message comes before the
  // status window shows.
  StartProgram(false);
  // 204: the busy message; nothing connects; "Retrive Auto IP" offered.
  EXPECT_EQ(TakeMessageBox(60000), kServerBusy);
  ASSERT_NE(WaitForMainWindow(), nullptr);
  ExpectRetriveAutoIP(true);

  // A port value with a line end after it: the conversion error, shown by the
  // general error display with a period added.
  StopDirectory();
  ASSERT_TRUE(StartDirectory({"--chat-port", std::to_string(chat.Port()), "--reply", "bad-port"}));
  Menu(IDM_RETRIVEAUTOIP1);
  EXPECT_EQ(TakeMessageBox(),
            "'" + std::to_string(chat.Port()) + "\r\n' is not a valid integer value.");
  Pause(1000);
  EXPECT_TRUE(Received(chat).empty());
  ExpectRetriveAutoIP(true);

  // A sound answer at last.
  StopDirectory();
  ASSERT_TRUE(StartDirectory({"--chat-port", std::to_string(chat.Port())}));
  Menu(IDM_RETRIVEAUTOIP1);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  ExitProgram();
}

}  // namespace

// The general error display: an error that leaves an event handler is shown in
// a box titled "ORVANE" with the period rule, the handler ends there and the
// program goes on. And "Retrive Auto IP", whose lookup can raise such an error.
#include <windows.h>

#include <filesystem>

#include "GuiFixture.h"
#include "app/ErrorText.h"
#include "app/Resources.h"
#include "support/ChatServerProcess.h"
#include "support/LookupDirectoryPeer.h"

namespace {

class ErrorDisplayTest : public TGuiTest {
 protected:
  // Brennak.ini with the chat server looked up in the directory.
  void WriteAutoSettings() {
    WriteFileBytes(Dir.File("Brennak.ini"),
                   "[FILE]\r\nLOG=game.log\r\n[DEFAULT]\r\nREFRESHTIME=100\r\n"
                   "[SERVER]\r\nIPADDRCHATSERVER=AUTO\r\nMYIP=127.0.0.1\r\n");
    WriteLog(RaceHistory());
  }
};

TEST_F(ErrorDisplayTest, ResponseFileThatCannotBeCreated_IsShownAndTheWindowStaysOpen) {
  WriteSettings(7777);
  WriteLog(RaceHistory());
  std::filesystem::create_directory(Dir.File("response.txt"));
  TfmMain& form = StartForm();
  EXPECT_FALSE(App.Terminated());
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  auto shown = Shown();
  ASSERT_EQ(shown.size(), 1u);
  ASSERT_EQ(shown[0].rfind("error: ", 0), 0u);
  std::string text = shown[0].substr(7);
  // The system's text for the error, closed by exactly one period.
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '.');
  EXPECT_NE(text.substr(text.size() - 2), "..");
  EXPECT_EQ(ErrorBoxText(text), text);
  // The start stopped there: no chat state shown, no watcher.
  EXPECT_FALSE(IsWindowVisible(form.LedRosso));
  EXPECT_FALSE(IsWindowVisible(form.LedVerde));
  EXPECT_FALSE(form.Session.LogThread);
  // The program goes on: its commands still work.
  Command(IDM_CLOSE1);
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  EXPECT_EQ(Shell.Calls.size(), 1u);
}

TEST_F(ErrorDisplayTest, LookedUpPortThatIsNoNumber_IsShownWithItsPeriod) {
  TDirectoryPeer directory(DirectoryReplyBytes(
      200, "OK", "&ChatServer_ip=192.0.2.10&ChatServer_port=77x&my_ip=192.0.2.7"));
  WriteAutoSettings();
  TfmMainPorts ports;
  ports.DirectoryBaseUrl = directory.BaseUrl();
  TfmMain& form = StartForm(ports);
  EXPECT_FALSE(App.Terminated());
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: '77x' is not a valid integer value."});
  EXPECT_FALSE(form.Session.LogThread);
  // The address was stored before the port failed; the own address was not.
  EXPECT_EQ(form.Session.ChatServerAddress, "192.0.2.10");
  EXPECT_EQ(form.Session.LocalAddress, "127.0.0.1");
  // The window is up and answers its menu.
  EXPECT_TRUE(IsWindowVisible(form.LedRosso));
  Command(IDM_CHAT1);
  EXPECT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[1], "error: '77x' is not a valid integer value.");
}

TEST_F(ErrorDisplayTest, RetriveAutoIP_AfterAFailedLookup_StartsTheWatcher) {
  TChatServerProcess chat;
  TDirectoryPeer directory(DirectoryReplyBytes(500, "Internal Server Error", ""));
  WriteAutoSettings();
  TfmMainPorts ports;
  ports.DirectoryBaseUrl = directory.BaseUrl();
  TfmMain& form = StartForm(ports);
  EXPECT_EQ(Shown(),
            std::vector<std::string>{
                "message: Cannot retrive automatic IP info. Is connection to Internet up?"});
  EXPECT_TRUE(MenuEnabled(IDM_RETRIVEAUTOIP1));
  EXPECT_FALSE(form.Session.LogThread);

  directory.SetReply(DirectoryReplyBytes(200, "OK",
                                         "&ChatServer_ip=127.0.0.1&ChatServer_port=" +
                                             std::to_string(chat.Port()) + "&my_ip=192.0.2.7"));
  Command(IDM_RETRIVEAUTOIP1);
  EXPECT_FALSE(MenuEnabled(IDM_RETRIVEAUTOIP1));
  EXPECT_TRUE(form.Session.LogThread);
  EXPECT_TRUE(RunUntil([&] { return chat.CountOutput("DRIVERS: Bob Big_Al") >= 1; }));
  EXPECT_EQ(Shown().size(), 1u);
}

}  // namespace

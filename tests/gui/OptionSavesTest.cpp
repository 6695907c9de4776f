// What the Option menu's dialogs save and what the status window then does,
// on the real window with the commands chosen as the user chooses them,
// against real chat servers (tools/chatserver) on loopback: cancelling, no
// chat connection, a failed lookup, and the settings file across a restart.
#include <windows.h>

#include <algorithm>

#include "DialogScript.h"
#include "GuiFixture.h"
#include "app/Resources.h"
#include "chat/Envelope.h"
#include "dialogs/CarOpz.h"
#include "dialogs/ConnOpz.h"
#include "dialogs/TrackOpz.h"
#include "support/ChatServerProcess.h"
#include "support/LookupDirectoryPeer.h"

namespace {

using OptionSavesTest = TGuiTest;

const std::string kTracksBefore = RoomLine(
    "TRACKS: Torvane Gull_Point Ambermoor Dusk_Plateau Fern_Hollow Tower_Heath Caddock "
    "Ostvik");
const std::string kTracksAfter = RoomLine(
    "TRACKS: Torvane Harbour_Night Ambermoor Dusk_Plateau Fern_Hollow Tower_Heath "
    "Caddock Ostvik");

size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

HWND Item(HWND dialog, int id) {
  return GetDlgItem(dialog, id);
}

// A game server's configuration as an operator keeps it: comments, keys the
// controller never touches, every track and car key present.
std::string OperatorSettings(int port) {
  return "; Strakon Dedicated Server - written by the server's setup\r\n"
         "[FILE]\r\nLOG=game.log\r\n"
         "[DEFAULT]\r\nREALISM=SIMULATION\r\nRECELENGTH=LONG\r\nPORT=" +
         std::to_string(port) +
         "\r\nREFRESHTIME=100\r\nMAXPLAYERS=8\r\n"
         "[TRACK]\r\nTRK1=Torvane\r\nTRK2=Gull Point\r\nTRK3=Ambermoor\r\nTRK4=Dusk Plateau\r\n"
         "TRK5=Fern Hollow\r\nTRK6=Tower Heath\r\nTRK7=Caddock\r\nTRK8=Ostvik\r\n"
         "[CAR]\r\nCAR01=Falco\r\nCAR02=Brio\r\nCAR03=\r\nCAR04=\r\nCAR05=\r\nCAR06=\r\n"
         "CAR07=\r\nCAR08=\r\nCAR09=\r\nCAR10=\r\nCAR11=\r\nCAR12=\r\nCAR13=\r\n"
         "; the chat server that announces us\r\n"
         "[SERVER]\r\nNAME=Harbour Night Cup\r\nIPADDRCHATSERVER=127.0.0.1\r\nMYIP=127.0.0.1\r\n"
         "[NETWORK]\r\nBANDWIDTH=56K\r\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) return "<no " + from + ">";
  return text.replace(at, from.size(), to);
}

TEST_F(OptionSavesTest, Track_SelectionStaysAndTheNextStatusNamesTheNewName) {
  TChatServerProcess server;
  WriteSettings(server.Port());
  WriteLog(RaceHistory());  // selects track 2, "Gull Point"
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntil([&] {
    return Count(server.ReceivedLines(), kTracksBefore) == 1 && IsWindowVisible(form.LedVerde);
  }));
  ASSERT_TRUE(RunUntil([&] { return Text(form.CBTrack) == "Gull Point"; }));

  TDialogScript script("Track Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
    Press(Item(dialog, TfmTrack::kIdBitBtn1));
  });
  Command(IDM_RACK1);
  ASSERT_TRUE(script.Ran());
  ASSERT_TRUE(RunUntil([&] { return Count(server.ReceivedLines(), kTracksAfter) == 1; }));
  EXPECT_EQ(SendMessageA(form.CBTrack, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(form.CBTrack), "Harbour Night");
  EXPECT_EQ(form.Board.TrackIndex(), 1);
  EXPECT_EQ(form.Board.TrackText(), "Harbour Night");
  // The next status line names the track by its new name.
  AppendLog({"latency for Bob is 99"});
  ASSERT_TRUE(RunUntil([&] {
    return Count(server.ReceivedLines(),
                 RoomLine("STATUS: 127.0.0.1 IN_RACE Harbour Night 8 SIMULATION")) == 1;
  }));
  EXPECT_TRUE(Shown().empty());
}

TEST_F(OptionSavesTest, Track_OkWhileNotConnectedPostsNothing) {
  TChatServerProcess server;
  ASSERT_TRUE(server.Command("refuse"));
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntil([&] {
    return !Shown().empty() && form.Session.LogThread && form.Session.LogThread->Finished();
  }));
  TDialogScript script("Track Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
    Press(Item(dialog, TfmTrack::kIdBitBtn1));
  });
  Command(IDM_RACK1);
  ASSERT_TRUE(script.Ran());
  RunFor(300);
  EXPECT_TRUE(server.ReceivedLines().empty());
  EXPECT_EQ(Shown(), std::vector<std::string>{"message: Cannot connect to chat server"});
  EXPECT_EQ(Text(form.CBTrack), "Harbour Night");
}

TEST_F(OptionSavesTest, Connection_CancelLeavesFileSessionAndChatAsTheyWere) {
  TChatServerProcess server;
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  const std::string drivers = RoomLine("DRIVERS: Bob Big_Al");
  ASSERT_TRUE(RunUntil([&] { return Count(server.ReceivedLines(), drivers) == 1; }));
  const std::string before = ReadFileBytes(Dir.File("Brennak.ini"));
  TDialogScript script("Connection Option", [&](HWND dialog) {
    Press(Item(dialog, TfmConnOpz::kIdCBAutoChat));
    Press(Item(dialog, TfmConnOpz::kIdCBLocAutoIP));
    Press(Item(dialog, IDCANCEL));
  });
  Command(IDM_CONNECTION1);
  ASSERT_TRUE(script.Ran());
  RunFor(300);
  EXPECT_EQ(ReadFileBytes(Dir.File("Brennak.ini")), before);
  EXPECT_EQ(form.Session.ChatServerAddress, "127.0.0.1");
  EXPECT_EQ(form.Session.ChatPort, server.Port());
  EXPECT_FALSE(form.Session.ChatAuto);
  EXPECT_FALSE(form.Session.LocalAuto);
  EXPECT_EQ(server.CountOutput("/quit"), 0u);
  EXPECT_EQ(server.CountOutput("/signon"), 1u);
}

TEST_F(OptionSavesTest, ThreeSavesChangeOnlyTheirKeysAndARestartReadsThem) {
  TChatServerProcess first;
  TChatServerProcess second;
  WriteFileBytes(Dir.File("Brennak.ini"), OperatorSettings(first.Port()));
  WriteLog(RaceHistory());
  const std::string before = ReadFileBytes(Dir.File("Brennak.ini"));
  StartForm();
  ASSERT_TRUE(RunUntil([&] { return first.CountOutput("/signon") == 1; }));

  {
    TDialogScript script("Connection Option", [&](HWND dialog) {
      Press(Item(dialog, TfmConnOpz::kIdCBStaticIP));
      SetText(Item(dialog, TfmConnOpz::kIdELocStaticIP), "10.0.0.7");
      SetText(Item(dialog, TfmConnOpz::kIdEChatIp), "localhost");
      SetText(Item(dialog, TfmConnOpz::kIdEChatPort), std::to_string(second.Port()));
      Press(Item(dialog, TfmConnOpz::kIdBitBtn1));
    });
    Command(IDM_CONNECTION1);
    ASSERT_TRUE(script.Ran());
  }
  {
    TDialogScript script("Track Configuration", [&](HWND dialog) {
      SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
      Press(Item(dialog, TfmTrack::kIdBitBtn1));
    });
    Command(IDM_RACK1);
    ASSERT_TRUE(script.Ran());
  }
  {
    TDialogScript script("Car Configuration", [&](HWND dialog) {
      SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
      SetText(Item(dialog, TfmCar::kIdCar1 + 12), "Thirteenth");
      Press(Item(dialog, TfmCar::kIdBitBtn1));
    });
    Command(IDM_CAR1);
    ASSERT_TRUE(script.Ran());
  }
  // The new server heard the new own address and both new lists.
  AppendLog({"latency for Bob is 99"});
  ASSERT_TRUE(RunUntil([&] {
    return Count(second.ReceivedLines(), kTracksAfter) == 1 &&
           Count(second.ReceivedLines(),
                 RoomLine("CARS: Falco_GT Brio * * * * * * * * * * Thirteenth")) == 1 &&
           Count(second.ReceivedLines(),
                 RoomLine("STATUS: 10.0.0.7 IN_RACE Harbour Night 8 SIMULATION")) >= 1;
  })) << second.ReceivedLines().size();
  EXPECT_TRUE(Shown().empty());

  std::string expected = before;
  expected = Replace(expected, "\r\nMYIP=127.0.0.1\r\n", "\r\nMYIP=10.0.0.7\r\n");
  expected =
      Replace(expected, "\r\nIPADDRCHATSERVER=127.0.0.1\r\n", "\r\nIPADDRCHATSERVER=localhost\r\n");
  expected = Replace(expected, "\r\nTRK2=Gull Point\r\n", "\r\nTRK2=Harbour Night\r\n");
  expected = Replace(expected, "\r\nCAR01=Falco\r\n", "\r\nCAR01=Falco GT\r\n");
  expected = Replace(expected, "\r\nCAR13=\r\n", "\r\nCAR13=Thirteenth\r\n");
  EXPECT_EQ(ReadFileBytes(Dir.File("Brennak.ini")), expected);

  // A restart: the saved values, and the port from the file, not the one typed.
  Form->Destroy();
  Form.reset();
  ASSERT_TRUE(second.WaitForOutput(ChatEnvelope("/quit"), kWait));
  TfmMain& restarted = StartForm();
  EXPECT_EQ(restarted.Session.LocalAddress, "10.0.0.7");
  EXPECT_EQ(restarted.Session.ChatServerAddress, "localhost");
  EXPECT_EQ(restarted.Session.ChatPort, first.Port());
  EXPECT_EQ(restarted.Session.TrackNames[1], "Harbour Night");
  EXPECT_EQ(restarted.Session.CarNames[0], "Falco GT");
  EXPECT_EQ(restarted.Session.CarNames[12], "Thirteenth");
  ASSERT_TRUE(RunUntil([&] { return first.CountOutput("/signon") == 2; }));
  EXPECT_TRUE(RunUntil([&] { return Count(first.ReceivedLines(), kTracksAfter) == 1; }));
}

TEST_F(OptionSavesTest, Connection_FailedLookupIsShownAndTheWindowGoesOn) {
  TChatServerProcess server;
  TDirectoryPeer directory(DirectoryReplyBytes(
      200, "OK", "&ChatServer_ip=192.0.2.10&ChatServer_port=77x&my_ip=192.0.2.7"));
  WriteSettings(server.Port());
  WriteLog(RaceHistory());
  TfmMainPorts ports;
  ports.DirectoryBaseUrl = directory.BaseUrl();
  TfmMain& form = StartForm(ports);
  ASSERT_TRUE(RunUntil([&] { return server.CountOutput("/signon") == 1; }));
  TDialogScript script("Connection Option", [&](HWND dialog) {
    Press(Item(dialog, TfmConnOpz::kIdCBAutoChat));
    Press(Item(dialog, TfmConnOpz::kIdBitBtn1));
  });
  Command(IDM_CONNECTION1);
  ASSERT_TRUE(script.Ran());
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: '77x' is not a valid integer value."});
  EXPECT_TRUE(server.WaitForOutput(ChatEnvelope("/quit"), kWait));
  EXPECT_EQ(FindThreadWindow("Update Connection Parameters"), nullptr);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  EXPECT_TRUE(form.Session.ChatAuto);
  EXPECT_NE(ReadFileBytes(Dir.File("Brennak.ini")).find("\r\nIPADDRCHATSERVER=AUTO\r\n"),
            std::string::npos);
  // The window still answers its menu.
  TDialogScript again("Car Configuration", [&](HWND dialog) { Press(Item(dialog, IDCANCEL)); });
  Command(IDM_CAR1);
  EXPECT_TRUE(again.Ran());
}

}  // namespace

// The Option menu of the status window opens its dialogs, and what they save
// reaches the session, the controls and the chat room.
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "DialogScript.h"
#include "GuiFixture.h"
#include "app/Resources.h"
#include "chat/Envelope.h"
#include "dialogs/CarOpz.h"
#include "dialogs/ConnOpz.h"
#include "dialogs/TrackOpz.h"
#include "support/ChatServerProcess.h"

namespace {

class OptionMenuTest : public TGuiTest {
 protected:
  void StartConnected() {
    Server = std::make_unique<TChatServerProcess>();
    WriteSettings(Server->Port());
    WriteLog(RaceHistory());
    StartForm();
    ASSERT_TRUE(RunUntil([&] { return Server->CountOutput("DRIVERS: Bob Big_Al") >= 1; }));
  }
  bool Received(TChatServerProcess& server, const std::string& line) {
    auto lines = server.ReceivedLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::unique_ptr<TChatServerProcess> Server;
};

TEST_F(OptionMenuTest, Car_SavedNamesGoToTheSessionAndTheRoom) {
  StartConnected();
  TDialogScript script(TfmCar::kCaption, [](HWND dialog) {
    SetText(Control(dialog, TfmCar::kIdCar1), "Vela GT");
    Press(Control(dialog, TfmCar::kIdBitBtn1));
  });
  Command(IDM_CAR1);
  EXPECT_TRUE(script.Ran());
  {
    std::lock_guard<std::mutex> lock(Form->Session.StateLock);
    EXPECT_EQ(Form->Session.CarNames[0], "Vela GT");
  }
  EXPECT_TRUE(RunUntil(
      [&] { return Received(*Server, RoomLine("CARS: Vela_GT * * * * * * * * * * * *")); }));
}

TEST_F(OptionMenuTest, Track_RenamedTrackShowsInTheBoxAndGoesToTheRoom) {
  StartConnected();
  ASSERT_TRUE(RunUntil([&] { return Text(Form->CBTrack) == "Gull Point"; }));
  TDialogScript script(TfmTrack::kCaption, [](HWND dialog) {
    SetText(Control(dialog, TfmTrack::kIdTRK1 + 1), "Gull Bay");
    Press(Control(dialog, TfmTrack::kIdBitBtn1));
  });
  Command(IDM_RACK1);
  EXPECT_TRUE(script.Ran());
  EXPECT_EQ(Text(Form->CBTrack), "Gull Bay");
  char item[64] = {};
  SendMessageA(Form->CBTrack, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, "Gull Bay");
  EXPECT_TRUE(RunUntil([&] {
    return Received(*Server, RoomLine("TRACKS: Torvane Gull_Bay Ambermoor Dusk_Plateau "
                                      "Fern_Hollow Tower_Heath Caddock Ostvik"));
  }));
}

TEST_F(OptionMenuTest, Connection_MovesTheAnnouncementToTheNewChatServer) {
  StartConnected();
  TChatServerProcess second;
  TDialogScript script(TfmConnOpz::kCaption, [&](HWND dialog) {
    Press(Control(dialog, TfmConnOpz::kIdCBStaticChat));
    SetText(Control(dialog, TfmConnOpz::kIdEChatIp), "127.0.0.1");
    SetText(Control(dialog, TfmConnOpz::kIdEChatPort), std::to_string(second.Port()));
    Press(Control(dialog, TfmConnOpz::kIdBitBtn1));
  });
  Command(IDM_CONNECTION1);
  EXPECT_TRUE(script.Ran());
  // The old server was left, the new one hears the sign-on and, without the
  // log having grown, the status again.
  ASSERT_TRUE(Server->WaitForOutput("/quit", 10000));
  EXPECT_EQ(Server->ReceivedLines().back(), ChatEnvelope("/quit"));
  EXPECT_TRUE(RunUntil([&] {
    return Received(second, RoomLine("STATUS: 127.0.0.1 IN_RACE Gull Point 8 SIMULATION"));
  }));
  EXPECT_EQ(second.ReceivedLines().front(), ChatEnvelope("/signon\t_Harbour_Night_Cup"));
  EXPECT_EQ(Form->Session.ChatPort, second.Port());
  EXPECT_TRUE(Shown().empty());
}

}  // namespace

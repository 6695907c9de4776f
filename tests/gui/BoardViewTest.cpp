// The view follows the board both ways, against tools/chatserver: what a pass
// over the log puts on the board shows in the controls, and what the user
// changes in a control is in the next status line.
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "GuiFixture.h"
#include "app/ControlIds.h"
#include "app/Resources.h"
#include "chat/Envelope.h"
#include "support/ChatServerProcess.h"

namespace {

class BoardViewTest : public TGuiTest {
 protected:
  bool ServerReceived(const std::string& line) {
    auto lines = Server->ReceivedLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // Runs the window until the chat server has received line.
  bool RunUntilReceived(const std::string& line) {
    return RunUntil([&] { return ServerReceived(line); });
  }
  TRaceBoard BoardNow() {
    std::lock_guard<std::mutex> lock(Form->Session.StateLock);
    return Form->Board;
  }
  // Selects a track in the box as the user's pick in the list does.
  void PickTrack(int index) {
    SendMessageA(Form->CBTrack, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(Form->Handle(), WM_COMMAND, MAKEWPARAM(kIdCBTrack, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Form->CBTrack));
  }

  std::unique_ptr<TChatServerProcess> Server;
};

const std::string kFirstStatus = "STATUS: 127.0.0.1 IN_RACE Gull Point 8 SIMULATION";

TEST_F(BoardViewTest, FirstPass_ShowsTheBoardInEveryControl) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntilReceived(RoomLine("DRIVERS: Bob Big_Al")));
  ASSERT_TRUE(RunUntil([&] { return form.SGRacer.Cell(1, 5) == "Big Al"; }));

  EXPECT_EQ(form.RGRalism.ItemIndex(), 2);
  EXPECT_EQ(form.RGRaceLen.ItemIndex(), 2);
  EXPECT_EQ(form.RGAIStr.ItemIndex(), 2);
  EXPECT_TRUE(Checked(form.CBDemage));
  EXPECT_TRUE(Checked(form.CBReverse));
  EXPECT_TRUE(Checked(form.CBRace));
  EXPECT_EQ(Text(form.CBRace), "In Race");
  EXPECT_EQ(form.RaceColour(), RGB(255, 0, 0));
  EXPECT_EQ(Text(form.AICC), "5");
  EXPECT_EQ(Text(form.CBTrack), "Gull Point");
  EXPECT_EQ(SendMessageA(form.CBTrack, CB_GETCURSEL, 0, 0), 1);
  const char* bob[] = {"3", "Bob", "10.0.0.5:2300", "120"};
  const char* al[] = {"5", "Big Al", "10.0.0.9:2301", "45"};
  for (int col = 0; col < 4; ++col) {
    EXPECT_EQ(form.SGRacer.Cell(col, 3), bob[col]);
    EXPECT_EQ(form.SGRacer.Cell(col, 5), al[col]);
    EXPECT_EQ(form.SGRacer.Cell(col, 0), "");
  }
  // The grid's text, as another program reads it.
  char text[512];
  GetWindowTextA(form.SGRacer.Handle(), text, sizeof text);
  EXPECT_NE(std::string(text).find("3\tBob\t10.0.0.5:2300\t120\r\n"), std::string::npos);
  EXPECT_EQ(Text(form.Handle()), "Server Status: Harbour Night Cup");
  // Connected: green lamp, green caption, nothing to reconnect.
  ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(form.LedVerde) != FALSE; }));
  EXPECT_FALSE(IsWindowVisible(form.LedRosso));
  EXPECT_EQ(form.ChatColour(), RGB(0, 128, 0));
  EXPECT_FALSE(MenuEnabled(IDM_CHAT1));

  auto lines = Server->ReceivedLines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], ChatEnvelope("/signon\t_Harbour_Night_Cup"));
  EXPECT_EQ(lines[1], ChatEnvelope("/join\tServerList"));
  EXPECT_EQ(lines[4], RoomLine(kFirstStatus));
}

TEST_F(BoardViewTest, UserChanges_ReachTheBoardAtOnceAndTheNextStatusLine) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntilReceived(RoomLine(kFirstStatus)));
  ASSERT_TRUE(RunUntil([&] { return Checked(form.CBRace); }));

  Click(form.RGRaceLen.Button(3));
  Click(form.CBRace);
  Click(form.CBDemage);
  SetWindowTextA(form.AICC, "7");
  PickTrack(4);
  TRaceBoard board = BoardNow();
  EXPECT_EQ(board.RaceLength(), 3);
  EXPECT_FALSE(board.InRace);
  EXPECT_FALSE(board.Damage);
  EXPECT_EQ(board.AICount, "7");
  EXPECT_EQ(board.TrackIndex(), 4);
  EXPECT_EQ(board.TrackText(), "Fern Hollow");
  // The user's click flips only the check mark: caption and colour stay.
  EXPECT_FALSE(Checked(form.CBRace));
  EXPECT_EQ(Text(form.CBRace), "In Race");
  EXPECT_EQ(form.RaceColour(), RGB(255, 0, 0));

  AppendLog({"Server: chat from Bob: nice track"});
  EXPECT_TRUE(RunUntilReceived(RoomLine("STATUS: 127.0.0.1 OPEN Fern Hollow 20 SIMULATION")));
  // A pass that did not touch InRace leaves the indicator as the user left it.
  RunFor(300);
  EXPECT_FALSE(Checked(form.CBRace));
  EXPECT_EQ(Text(form.CBRace), "In Race");
  EXPECT_EQ(form.RGRaceLen.ItemIndex(), 3);
  EXPECT_EQ(Text(form.AICC), "7");
}

TEST_F(BoardViewTest, TypedTrackText_GoesOutInTheStatusLine) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntilReceived(RoomLine(kFirstStatus)));
  SetWindowTextA(form.CBTrack, "Night Loop");
  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(kIdCBTrack, CBN_EDITCHANGE),
               reinterpret_cast<LPARAM>(form.CBTrack));
  EXPECT_EQ(BoardNow().TrackText(), "Night Loop");
  AppendLog({"Server: chat from Bob: gg"});
  EXPECT_TRUE(RunUntilReceived(RoomLine("STATUS: 127.0.0.1 IN_RACE Night Loop 8 SIMULATION")));
}

TEST_F(BoardViewTest, LaterRace_ChangesIndicatorCaptionAndColour) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntilReceived(RoomLine(kFirstStatus)));
  AppendLog({"Server: Singleton player reset."});
  ASSERT_TRUE(RunUntil([&] { return Text(form.CBRace) == "Available"; }));
  EXPECT_FALSE(Checked(form.CBRace));
  EXPECT_EQ(form.RaceColour(), RGB(0, 128, 0));
  AppendLog({"Server: SYNC: 2way: race started"});
  ASSERT_TRUE(RunUntil([&] { return Text(form.CBRace) == "In Race"; }));
  EXPECT_TRUE(Checked(form.CBRace));
  EXPECT_EQ(form.RaceColour(), RGB(255, 0, 0));
}

TEST_F(BoardViewTest, RaceAfterTheUserTickedTheIndicator_StillTurnsItsCaptionRed) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog({"Server: Game \"Harbour Night Cup\" created, running..."});
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntil([&] { return Server->CountOutput("DRIVERS:") >= 1; }));
  Click(form.CBRace);
  ASSERT_TRUE(Checked(form.CBRace));
  EXPECT_EQ(Text(form.CBRace), "Available");
  // The log's race sets the value the user's tick already gave: the caption
  // and colour follow all the same.
  AppendLog({"Server: SYNC: 2way: race started"});
  ASSERT_TRUE(RunUntil([&] { return Text(form.CBRace) == "In Race"; }));
  EXPECT_EQ(form.RaceColour(), RGB(255, 0, 0));
}

TEST_F(BoardViewTest, RealismChoice_SnapsBackAtTheNextPaint) {
  Server = std::make_unique<TChatServerProcess>();
  WriteSettings(Server->Port());
  WriteLog(RaceHistory());
  TfmMain& form = StartForm();
  ASSERT_TRUE(RunUntilReceived(RoomLine(kFirstStatus)));
  ASSERT_TRUE(RunUntil([&] { return form.RGRalism.ItemIndex() == 2; }));
  Click(form.RGRalism.Button(0));
  EXPECT_EQ(form.RGRalism.ItemIndex(), 0);
  EXPECT_EQ(BoardNow().Realism(), 0);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(BoardNow().Realism(), 2);
  EXPECT_EQ(form.RGRalism.ItemIndex(), 2);
}

}  // namespace

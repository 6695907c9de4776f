// The Option menu's commands around their dialogs, against a stand-in for the
// status window that records what it is asked to do.
#include <windows.h>

#include <stdexcept>

#include "DialogFixture.h"
#include "DialogScript.h"
#include "chat/IdErrors.h"
#include "dialogs/CarOpz.h"
#include "dialogs/ConnOpz.h"
#include "dialogs/OptionCommands.h"
#include "dialogs/TrackOpz.h"
#include "session/IntConv.h"

namespace {

constexpr const char* kNoticeCaption = "Update Connection Parameters";

class TRecordingHost : public TOptionHost {
 public:
  explicit TRecordingHost(TMessageBoxPort& boxes) : Boxes_(boxes) {
    Owner_ = CreateWindowExA(0, "STATIC", "Server Status", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             401, 502, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Session_.TrackNames = {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
                           "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
    Session_.CarNames[0] = "Falco";
  }
  ~TRecordingHost() override { DestroyWindow(Owner_); }

  HWND OwnerWindow() override { return Owner_; }
  TSession& Session() override { return Session_; }
  TRaceBoard& Board() override { return Board_; }
  TMessageBoxPort& Messages() override { return Boxes_; }
  void StopAll() override {
    // What the user sees while the window waits for the chat to stop.
    HWND notice = FindThreadWindow(kNoticeCaption);
    Calls.push_back(notice ? "StopAll, notice: " + WindowText(GetWindow(notice, GW_CHILD))
                           : "StopAll, no notice");
    if (FailStop) throw EIdSocketError(10054);
  }
  void StartMonitoring() override {
    Calls.push_back(
        "StartMonitoring " + Session_.LocalAddress + " " + Session_.ChatServerAddress + ":" +
        std::to_string(Session_.ChatPort) + (Session_.LocalAuto ? " local-auto" : "") +
        (Session_.ChatAuto ? " chat-auto" : "") + (Session_.ResendRequested ? " resend" : ""));
    if (FailStart) throw EConvertError("x7777");
  }
  void SendTracks() override { Calls.push_back("SendTracks " + Session_.TrackNames[1]); }
  void SendCars() override { Calls.push_back("SendCars " + Session_.CarNames[0]); }
  void Repaint() override {
    Calls.push_back(IsWindowEnabled(Owner_) ? "Repaint" : "Repaint while blocked");
  }

  std::vector<std::string> Calls;
  bool FailStart = false;
  // "/quit" cannot be written: the old chat server has just gone.
  bool FailStop = false;

 private:
  TMessageBoxPort& Boxes_;
  HWND Owner_ = nullptr;
  TSession Session_;
  TRaceBoard Board_;
};

class OptionCommandsTest : public TDialogTest {
 protected:
  void SetUp() override {
    TDialogTest::SetUp();
    Host = std::make_unique<TRecordingHost>(Boxes);
  }
  void TearDown() override {
    Host.reset();
    TDialogTest::TearDown();
  }
  std::unique_ptr<TRecordingHost> Host;
};

HWND Item(HWND dialog, int id) {
  return GetDlgItem(dialog, id);
}

// ---- Connection

TEST_F(OptionCommandsTest, Connection_OkRestartsTheChatOnTheNewValuesBehindANotice) {
  TSession& session = Host->Session();
  session.ChatServerAddress = "127.0.0.1";
  session.ChatPort = 7777;
  session.LocalAddress = "203.0.113.9";  // found by the lookup
  session.LocalAuto = true;
  TDialogScript script("Connection Option", [&](HWND dialog) {
    // The dialog starts from the session: the own address is automatic.
    EXPECT_TRUE(IsChecked(Item(dialog, TfmConnOpz::kIdCBLocAutoIP)));
    EXPECT_EQ(WindowText(Item(dialog, TfmConnOpz::kIdEChatIp)), "127.0.0.1");
    EXPECT_EQ(WindowText(Item(dialog, TfmConnOpz::kIdEChatPort)), "7777");
    Press(Item(dialog, TfmConnOpz::kIdCBStaticIP));
    SetText(Item(dialog, TfmConnOpz::kIdELocStaticIP), "10.0.0.7");
    SetText(Item(dialog, TfmConnOpz::kIdEChatIp), "chat.example");
    SetText(Item(dialog, TfmConnOpz::kIdEChatPort), "$1B59");
    Press(Item(dialog, TfmConnOpz::kIdBitBtn1));
  });
  Connection1Click(*Host);
  EXPECT_TRUE(script.Ran());
  EXPECT_EQ(Host->Calls,
            (std::vector<std::string>{
                "Repaint", "StopAll, notice: Disconnect from old server and connect to new server",
                "StartMonitoring 10.0.0.7 chat.example:7001 resend", "Repaint"}));
  EXPECT_EQ(FindThreadWindow(kNoticeCaption), nullptr) << "the notice must be gone";
  EXPECT_FALSE(session.LocalAuto);
  EXPECT_FALSE(session.ChatAuto);
  EXPECT_EQ(Key("SERVER", "MYIP"), "10.0.0.7");
  EXPECT_EQ(Key("SERVER", "IPADDRCHATSERVER"), "chat.example");
  EXPECT_EQ(Key("DEFAULT", "PORT"), "7777");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(OptionCommandsTest, Connection_AutoIsTheExactWord) {
  TDialogScript script("Connection Option", [&](HWND dialog) {
    Press(Item(dialog, TfmConnOpz::kIdCBAutoChat));
    Press(Item(dialog, TfmConnOpz::kIdCBDns));
    SetText(Item(dialog, TfmConnOpz::kIdELocDns), "auto");
    Press(Item(dialog, TfmConnOpz::kIdBitBtn1));
  });
  Connection1Click(*Host);
  ASSERT_EQ(Host->Calls.size(), 4u);
  EXPECT_EQ(Host->Calls[2], "StartMonitoring auto AUTO:7777 chat-auto resend");
}

TEST_F(OptionCommandsTest, Connection_CancelAfterEditingChangesNeitherFileNorSession) {
  TSession& session = Host->Session();
  session.ChatServerAddress = "chat.example";
  session.ChatPort = 6000;
  const std::string before = Ini();
  TDialogScript script("Connection Option", [&](HWND dialog) {
    Press(Item(dialog, TfmConnOpz::kIdCBAutoChat));
    Press(Item(dialog, TfmConnOpz::kIdCBLocAutoIP));
    Press(Item(dialog, IDCANCEL));
  });
  Connection1Click(*Host);
  EXPECT_TRUE(script.Ran());
  EXPECT_TRUE(Host->Calls.empty());
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(session.ChatServerAddress, "chat.example");
  EXPECT_EQ(session.ChatPort, 6000);
  EXPECT_EQ(session.LocalAddress, "127.0.0.1");
  EXPECT_FALSE(session.ChatAuto);
  EXPECT_FALSE(session.LocalAuto);
  EXPECT_FALSE(session.ResendRequested);
}

TEST_F(OptionCommandsTest, Connection_WithoutTheSettingsFileRestartsOnTheLoadedValues) {
  Host->Session().ChatPort = 6000;
  RemoveIni();
  TDialogScript script("Connection Option", [&](HWND dialog) {
    Press(Item(dialog, TfmConnOpz::kIdCBAutoChat));
    Press(Item(dialog, TfmConnOpz::kIdBitBtn1));
  });
  Connection1Click(*Host);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  ASSERT_EQ(Host->Calls.size(), 4u);
  EXPECT_EQ(Host->Calls[2], "StartMonitoring 127.0.0.1 127.0.0.1:6000 resend");
}

TEST_F(OptionCommandsTest, Connection_FailedRestartEndsTheCommandAndTakesTheNoticeAlong) {
  Host->FailStart = true;
  TDialogScript script("Connection Option",
                       [&](HWND dialog) { Press(Item(dialog, TfmConnOpz::kIdBitBtn1)); });
  EXPECT_THROW(Connection1Click(*Host), EConvertError);
  EXPECT_EQ(Host->Calls.size(), 3u) << "no repaint after the failure";
  EXPECT_EQ(FindThreadWindow(kNoticeCaption), nullptr);
  EXPECT_EQ(FindThreadWindow("Connection Option"), nullptr);
}

TEST_F(OptionCommandsTest, Connection_FailedQuitStillRestartsTheChatOnTheNewValues) {
  Host->FailStop = true;
  TDialogScript script("Connection Option",
                       [&](HWND dialog) { Press(Item(dialog, TfmConnOpz::kIdBitBtn1)); });
  EXPECT_THROW(Connection1Click(*Host), EIdSocketError);
  ASSERT_EQ(Host->Calls.size(), 4u);
  EXPECT_EQ(Host->Calls[2].rfind("StartMonitoring ", 0), 0u) << Host->Calls[2];
  EXPECT_EQ(FindThreadWindow(kNoticeCaption), nullptr);
}

// ---- Track

TEST_F(OptionCommandsTest, Track_OkKeepsThePositionShowingItsNewNameAndPostsTheList) {
  TSession& session = Host->Session();
  TRaceBoard& board = Host->Board();
  board.SelectTrack(1, session.TrackNames);
  TDialogScript script("Track Configuration", [&](HWND dialog) {
    EXPECT_EQ(WindowText(Item(dialog, TfmTrack::kIdTRK1 + 1)), "Gull Point");
    SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
    Press(Item(dialog, TfmTrack::kIdBitBtn1));
  });
  rack1Click(*Host);
  EXPECT_EQ(board.TrackIndex(), 1);
  EXPECT_EQ(board.TrackText(), "Harbour Night");
  EXPECT_EQ(session.TrackNames[1], "Harbour Night");
  EXPECT_EQ(Host->Calls, (std::vector<std::string>{"Repaint", "SendTracks Harbour Night"}));
  EXPECT_EQ(Key("TRACK", "TRK2"), "Harbour Night");
}

TEST_F(OptionCommandsTest, Track_GivesBackTheTrackSelectedBeforeOnOkAndOnCancel) {
  for (int button : {static_cast<int>(TfmTrack::kIdBitBtn1), IDCANCEL}) {
    TSession& session = Host->Session();
    TRaceBoard& board = Host->Board();
    board.SelectTrack(1, session.TrackNames);
    TDialogScript script("Track Configuration", [&](HWND dialog) {
      // The log says the server changed its track while the dialog is open.
      {
        std::lock_guard<std::mutex> lock(session.StateLock);
        board.SelectTrack(4, session.TrackNames);
      }
      Press(Item(dialog, button));
    });
    rack1Click(*Host);
    EXPECT_EQ(board.TrackIndex(), 1) << "button " << button;
    EXPECT_EQ(board.TrackText(), "Gull Point") << "button " << button;
  }
}

TEST_F(OptionCommandsTest, Track_CancelChangesNothingAndPostsNothing) {
  TSession& session = Host->Session();
  TRaceBoard& board = Host->Board();
  board.SelectTrack(1, session.TrackNames);
  board.SetTrackText("typed by the user");
  const std::string before = Ini();
  TDialogScript script("Track Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
    Press(Item(dialog, IDCANCEL));
  });
  rack1Click(*Host);
  EXPECT_EQ(Host->Calls, std::vector<std::string>{"Repaint"});
  EXPECT_EQ(session.TrackNames[1], "Gull Point");
  EXPECT_EQ(board.TrackIndex(), 1);
  EXPECT_EQ(board.TrackText(), "typed by the user");
  EXPECT_EQ(Ini(), before);
}

TEST_F(OptionCommandsTest, Track_WithoutTheSettingsFileKeepsTheListButStillPosts) {
  RemoveIni();
  TDialogScript script("Track Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmTrack::kIdTRK1 + 1), "Harbour Night");
    Press(Item(dialog, TfmTrack::kIdBitBtn1));
  });
  rack1Click(*Host);
  EXPECT_EQ(Host->Calls, (std::vector<std::string>{"Repaint", "SendTracks Gull Point"}));
}

// ---- Car

TEST_F(OptionCommandsTest, Car_OkTakesTheNamesAndPostsThem) {
  TDialogScript script("Car Configuration", [&](HWND dialog) {
    EXPECT_EQ(WindowText(Item(dialog, TfmCar::kIdCar1)), "Falco");
    SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
    SetText(Item(dialog, TfmCar::kIdCar1 + 12), "Thirteenth");
    Press(Item(dialog, TfmCar::kIdBitBtn1));
  });
  Car1Click(*Host);
  EXPECT_EQ(Host->Session().CarNames[0], "Falco GT");
  EXPECT_EQ(Host->Session().CarNames[12], "Thirteenth");
  EXPECT_EQ(Host->Calls, std::vector<std::string>{"SendCars Falco GT"});
  EXPECT_EQ(Key("CAR", "CAR13"), "Thirteenth");
}

TEST_F(OptionCommandsTest, Car_WithoutTheSettingsFileStillTakesAndPostsTheNames) {
  RemoveIni();
  TDialogScript script("Car Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
    Press(Item(dialog, TfmCar::kIdBitBtn1));
  });
  Car1Click(*Host);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(Host->Session().CarNames[0], "Falco GT");
  EXPECT_EQ(Host->Calls, std::vector<std::string>{"SendCars Falco GT"});
}

TEST_F(OptionCommandsTest, Car_CancelAndCloseBoxChangeNothing) {
  const std::string before = Ini();
  {
    TDialogScript script("Car Configuration", [&](HWND dialog) {
      SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
      Press(Item(dialog, IDCANCEL));
    });
    Car1Click(*Host);
  }
  {
    TDialogScript script("Car Configuration", [&](HWND dialog) {
      SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
      SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    Car1Click(*Host);
  }
  EXPECT_TRUE(Host->Calls.empty());
  EXPECT_EQ(Host->Session().CarNames[0], "Falco");
  EXPECT_EQ(Ini(), before);
}

TEST_F(OptionCommandsTest, Car_FailedWriteLeavesTheDialogOpenForCancel) {
  const std::string before = Ini();
  LockIni();
  TDialogScript script("Car Configuration", [&](HWND dialog) {
    SetText(Item(dialog, TfmCar::kIdCar1), "Falco GT");
    Press(Item(dialog, TfmCar::kIdBitBtn1));
    EXPECT_TRUE(IsWindowVisible(dialog));
    Press(Item(dialog, IDCANCEL));
  });
  Car1Click(*Host);
  UnlockIni();
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: Unable to write to ./Brennak.ini."});
  EXPECT_TRUE(Host->Calls.empty());
  EXPECT_EQ(Host->Session().CarNames[0], "Falco");
  EXPECT_EQ(Ini(), before);
}

}  // namespace

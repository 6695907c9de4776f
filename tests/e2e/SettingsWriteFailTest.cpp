// Scenario 5: "./Brennak.ini" cannot be written when a dialog saves. Another
// program holds the file open and lets others only read it (an editor, a
// backup tool, the game server itself). Under Wine as root a read-only
// attribute does not stop a write (Wine maps it to the Unix mode bits, which
// root passes), but a sharing lock does, as on Windows. The save shows the
// error, the dialog stays open, the file is left as it was, and the program
// goes on; once the lock is gone the same save works.
#include "app/ControlIds.h"
#include "app/Resources.h"
#include "dialogs/ConnOpz.h"
#include "dialogs/TrackOpz.h"
#include "e2e/E2eFixture.h"

namespace {

class SettingsWriteFailTest : public TE2eTest {
 protected:
  HWND OpenDialog(int menuId, const std::string& caption) {
    Menu(menuId);
    return Driver().WaitFor("#32770", caption, kWait);
  }
};

// Holds a file open for reading and lets others read it, nothing else.
class TReadLock {
 public:
  explicit TReadLock(const std::string& path)
      : Handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~TReadLock() { Release(); }
  bool Held() const { return Handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held()) CloseHandle(Handle_);
    Handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE Handle_;
};

TEST_F(SettingsWriteFailTest, SaveIntoALockedSettingsFile_ShowsTheErrorKeepsTheFileAndGoesOn) {
  TChatServerProcess& chat = StartChatServer();
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "50"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  const std::string original = ReadFile("Brennak.ini");
  TReadLock lock(File("Brennak.ini"));
  ASSERT_TRUE(lock.Held());

  // Track: the first write fails; the error box, the dialog stays open with
  // what was typed, and the window's track list stays as it was.
  HWND track = OpenDialog(IDM_RACK1, TfmTrack::kCaption);
  ASSERT_NE(track, nullptr);
  HWND trk1 = TWindowDriver::Control(track, TfmTrack::kIdTRK1);
  EXPECT_EQ(TWindowDriver::Text(trk1), "Torvane");
  ASSERT_TRUE(TWindowDriver::SetText(trk1, "Nordschleife"));
  TWindowDriver::Click(track, TfmTrack::kIdBitBtn1);
  EXPECT_EQ(TakeMessageBox(), "Unable to write to ./Brennak.ini.");
  EXPECT_TRUE(TWindowDriver::Visible(track)) << "the dialog closed after a failed save";
  EXPECT_EQ(TWindowDriver::Text(trk1), "Nordschleife");
  TWindowDriver::Click(track, TfmTrack::kIdBitBtn2);
  EXPECT_TRUE(Driver().WaitGone("#32770", TfmTrack::kCaption, kWait));
  EXPECT_EQ(TWindowDriver::ComboFind(MainControl(kIdCBTrack), "Torvane"), 0);
  EXPECT_EQ(TWindowDriver::ComboFind(MainControl(kIdCBTrack), "Nordschleife"), -1);

  // Connection: the own address fails to be written; nothing is restarted
  // (no "/quit", no new sign-on) and the dialog stays open.
  HWND connection = OpenDialog(IDM_CONNECTION1, TfmConnOpz::kCaption);
  ASSERT_NE(connection, nullptr);
  EXPECT_TRUE(
      TWindowDriver::Checked(TWindowDriver::Control(connection, TfmConnOpz::kIdCBStaticIP)));
  HWND address = TWindowDriver::Control(connection, TfmConnOpz::kIdELocStaticIP);
  EXPECT_EQ(TWindowDriver::Text(address), "127.0.0.1");
  ASSERT_TRUE(TWindowDriver::SetText(address, "10.20.30.40"));
  TWindowDriver::Click(connection, TfmConnOpz::kIdBitBtn1);
  EXPECT_EQ(TakeMessageBox(), "Unable to write to ./Brennak.ini.");
  EXPECT_TRUE(TWindowDriver::Visible(connection));
  TWindowDriver::Click(connection, TfmConnOpz::kIdBitBtn2);
  EXPECT_TRUE(Driver().WaitGone("#32770", TfmConnOpz::kCaption, kWait));

  lock.Release();
  EXPECT_EQ(ReadFile("Brennak.ini"), original) << "a failed save changed the settings file";
  EXPECT_EQ(CountContaining(Received(chat), "/quit"), 0u);
  EXPECT_EQ(CountContaining(Received(chat), "/signon"), 1u);

  // The program goes on: the log is followed and announced.
  AppendLog({"Server: SYNC: 2way: 1 clients ready, race starts"});
  ASSERT_TRUE(WaitForReceived(chat, " IN_RACE "));
  EXPECT_NE(Statuses(chat).back().find("STATUS: 127.0.0.1 IN_RACE "), std::string::npos);

  // Without the lock the same save goes through: the new list is announced and
  // written, and the game server's own keys are still there.
  track = OpenDialog(IDM_RACK1, TfmTrack::kCaption);
  ASSERT_NE(track, nullptr);
  trk1 = TWindowDriver::Control(track, TfmTrack::kIdTRK1);
  ASSERT_TRUE(TWindowDriver::SetText(trk1, "Nordschleife"));
  TWindowDriver::Click(track, TfmTrack::kIdBitBtn1);
  EXPECT_TRUE(Driver().WaitGone("#32770", TfmTrack::kCaption, kWait));
  EXPECT_TRUE(NoMessageBoxFor(300));
  ASSERT_TRUE(WaitForReceived(chat, "TRACKS: Nordschleife Gull_Point"));
  EXPECT_EQ(TWindowDriver::ComboFind(MainControl(kIdCBTrack), "Nordschleife"), 0);
  std::string saved = ReadFile("Brennak.ini");
  EXPECT_NE(saved.find("TRK1=Nordschleife"), std::string::npos) << saved;
  EXPECT_NE(saved.find("MaxPlayers=8"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Welcome=Have fun; no ramming"), std::string::npos) << saved;

  ExitProgram();
  EXPECT_EQ(Received(chat).back(), "<message value=\"/quit\"/>");
}

}  // namespace

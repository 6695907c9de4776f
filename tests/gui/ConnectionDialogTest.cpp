// The Connection dialog: its form, how its values select its controls, its
// buttons, and what "Save" writes or refuses.
#include <windows.h>

#include "DialogFixture.h"
#include "DialogScript.h"
#include "dialogs/ConnOpz.h"

namespace {

using Id = TfmConnOpz::TControlId;

class ConnectionDialogTest : public TDialogTest {
 protected:
  // Loads the values, then sets the edits as the user would type them.
  std::unique_ptr<TfmConnOpz> Open(const std::string& local, const std::string& chat,
                                   int32_t port) {
    auto dialog = std::make_unique<TfmConnOpz>(nullptr, Boxes);
    dialog->LoadValues(local, chat, port);
    return dialog;
  }
  static bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
};

struct TPlace {
  int Id;
  const char* Caption;
  int Left, Top, Width, Height;
};

// Places in the dialog's client area; those inside a group count from the
// group's corner (8, 8) and (8, 128).
const TPlace kPlaces[] = {
    {Id::kIdGroupBox1, "Local Machine", 8, 8, 273, 105},
    {Id::kIdCBLocAutoIP, "Obtain Automaticly IP", 16, 32, 139, 17},
    {Id::kIdCBStaticIP, "Static IP", 16, 56, 85, 17},
    {Id::kIdELocStaticIP, "", 104, 53, 169, 21},
    {Id::kIdCBDns, "DNS Name", 16, 80, 86, 17},
    {Id::kIdELocDns, "", 104, 77, 169, 21},
    {Id::kIdGroupBox2, "Chat Server", 8, 128, 273, 121},
    {Id::kIdCBAutoChat, "Obtain Automaticly Data of Chat Server", 16, 152, 217, 17},
    {Id::kIdCBStaticChat, "Specify Data of Chat Server", 16, 176, 163, 17},
    // Labels take the width of their text (79 and 59 in the genuine font).
    {Id::kIdLChatIp, "IP/DNS Address", 16, 200, -1, 13},
    {Id::kIdEChatIp, "", 104, 197, 169, 21},
    {Id::kIdLChatPort, "Port Number", 16, 224, -1, 13},
    {Id::kIdEChatPort, "", 104, 221, 169, 21},
    {Id::kIdBitBtn1, "Save", 40, 256, 75, 25},
    {Id::kIdBitBtn2, "Cancel", 176, 256, 75, 25},
};

TEST_F(ConnectionDialogTest, Form_HasItsCaptionOuterSizeAndPlaceOnTheDesktop) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  HWND window = dialog->Form.Handle();
  EXPECT_EQ(WindowText(window), "Connection Option");
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, 297);
  EXPECT_EQ(r.bottom - r.top, 315);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 297) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 315) / 2);
  // Close box only.
  LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_FALSE(IsWindowVisible(window)) << "shown only by ShowModal";
}

TEST_F(ConnectionDialogTest, Form_UsesMsSansSerifEightPoint) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  for (HWND window : {dialog->Form.Handle(), dialog->CBLocAutoIP, dialog->EChatPort,
                      dialog->LChatIp, dialog->BitBtn1}) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA lf = {};
    GetObjectA(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);
  }
}

TEST_F(ConnectionDialogTest, Form_EveryControlSitsAtItsPlaceWithItsCaption) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  for (const TPlace& p : kPlaces) {
    HWND control = Control(dialog->Form.Handle(), p.Id);
    ASSERT_NE(control, nullptr) << p.Caption;
    RECT r = ClientPlace(control);
    EXPECT_EQ(r.left, p.Left) << p.Caption;
    EXPECT_EQ(r.top, p.Top) << p.Caption;
    EXPECT_EQ(r.right - r.left, p.Width >= 0 ? p.Width : TextWidth(control)) << p.Caption;
    EXPECT_EQ(r.bottom - r.top, p.Height) << p.Caption;
    EXPECT_EQ(WindowText(control), p.Caption);
  }
  // The named handles are the controls of the form.
  EXPECT_EQ(dialog->CBDns, Control(dialog->Form.Handle(), Id::kIdCBDns));
  EXPECT_EQ(dialog->BitBtn2, Control(dialog->Form.Handle(), IDCANCEL));
}

TEST_F(ConnectionDialogTest, Form_ButtonsCarryTheirOwnImages) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  for (HWND button : {dialog->BitBtn1, dialog->BitBtn2})
    EXPECT_EQ(GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  // The floppy disk and the cross, with their clear corners: not some other
  // image of the program under the same number.
  TGlyphPixels save(dialog->BitBtn1);
  ASSERT_TRUE(save.Loaded);
  EXPECT_EQ(save.Colour(2, 6), RGB(32, 64, 160));
  EXPECT_EQ(save.Colour(5, 9), RGB(250, 250, 250));
  EXPECT_EQ(save.Colour(5, 10), RGB(150, 150, 170));
  EXPECT_TRUE(save.Clear(0, 0));
  EXPECT_FALSE(save.Clear(2, 6));
  TGlyphPixels cancel(dialog->BitBtn2);
  ASSERT_TRUE(cancel.Loaded);
  EXPECT_EQ(cancel.Colour(3, 3), RGB(208, 16, 16));
  EXPECT_FALSE(cancel.Clear(3, 3));
  EXPECT_TRUE(cancel.Clear(8, 3));
}

TEST_F(ConnectionDialogTest, LoadValues_AutoSelectsTheAutomaticAddress) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  EXPECT_TRUE(IsChecked(dialog->CBLocAutoIP));
  EXPECT_FALSE(IsChecked(dialog->CBStaticIP));
  EXPECT_FALSE(IsChecked(dialog->CBDns));
  EXPECT_FALSE(Enabled(dialog->ELocStaticIP));
  EXPECT_FALSE(Enabled(dialog->ELocDns));
  EXPECT_EQ(WindowText(dialog->ELocStaticIP), "");
  EXPECT_EQ(WindowText(dialog->ELocDns), "");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionDialogTest, LoadValues_DottedAddressSelectsStaticIp) {
  auto dialog = Open("192.168.0.1", "AUTO", 7777);
  EXPECT_FALSE(IsChecked(dialog->CBLocAutoIP));
  EXPECT_TRUE(IsChecked(dialog->CBStaticIP));
  EXPECT_FALSE(IsChecked(dialog->CBDns));
  EXPECT_TRUE(Enabled(dialog->ELocStaticIP));
  EXPECT_FALSE(Enabled(dialog->ELocDns));
  EXPECT_EQ(WindowText(dialog->ELocStaticIP), "192.168.0.1");
  EXPECT_EQ(WindowText(dialog->ELocDns), "");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionDialogTest, LoadValues_HostNameOrThreePartsSelectDnsNameWithoutAMessage) {
  for (const char* local : {"server.example", "1.2.3", "300.1.1.1", "auto"}) {
    auto dialog = Open(local, "AUTO", 7777);
    EXPECT_FALSE(IsChecked(dialog->CBLocAutoIP)) << local;
    EXPECT_FALSE(IsChecked(dialog->CBStaticIP)) << local;
    EXPECT_TRUE(IsChecked(dialog->CBDns)) << local;
    EXPECT_FALSE(Enabled(dialog->ELocStaticIP)) << local;
    EXPECT_TRUE(Enabled(dialog->ELocDns)) << local;
    EXPECT_EQ(WindowText(dialog->ELocDns), local);
    EXPECT_EQ(WindowText(dialog->ELocStaticIP), "");
  }
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionDialogTest, LoadValues_FixedChatServerOpensAddressAndPort) {
  auto dialog = Open("AUTO", "chat.example", 0x1E61);
  EXPECT_FALSE(IsChecked(dialog->CBAutoChat));
  EXPECT_TRUE(IsChecked(dialog->CBStaticChat));
  for (HWND control : {dialog->EChatIp, dialog->EChatPort, dialog->LChatIp, dialog->LChatPort})
    EXPECT_TRUE(Enabled(control));
  EXPECT_EQ(WindowText(dialog->EChatIp), "chat.example");
  EXPECT_EQ(WindowText(dialog->EChatPort), "7777");
}

TEST_F(ConnectionDialogTest, LoadValues_AutomaticChatServerClosesAddressAndPort) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  EXPECT_TRUE(IsChecked(dialog->CBAutoChat));
  EXPECT_FALSE(IsChecked(dialog->CBStaticChat));
  for (HWND control : {dialog->EChatIp, dialog->EChatPort, dialog->LChatIp, dialog->LChatPort})
    EXPECT_FALSE(Enabled(control));
  EXPECT_EQ(WindowText(dialog->EChatIp), "");
  EXPECT_EQ(WindowText(dialog->EChatPort), "");
}

TEST_F(ConnectionDialogTest, RadioButtons_EachClickChecksItsButtonAndOpensItsEdits) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  TfmConnOpz& d = *dialog;
  auto local = [&] {
    return std::vector<bool>{IsChecked(d.CBLocAutoIP), IsChecked(d.CBStaticIP), IsChecked(d.CBDns),
                             Enabled(d.ELocStaticIP), Enabled(d.ELocDns)};
  };
  auto chat = [&] {
    return std::vector<bool>{IsChecked(d.CBAutoChat), IsChecked(d.CBStaticChat),
                             Enabled(d.EChatIp),      Enabled(d.EChatPort),
                             Enabled(d.LChatIp),      Enabled(d.LChatPort)};
  };
  // Clicks as the buttons send them, through the dialog's own handling.
  Press(d.CBStaticIP);
  EXPECT_EQ(local(), (std::vector<bool>{false, true, false, true, false}));
  Press(d.CBDns);
  EXPECT_EQ(local(), (std::vector<bool>{false, false, true, false, true}));
  Press(d.CBLocAutoIP);
  EXPECT_EQ(local(), (std::vector<bool>{true, false, false, false, false}));
  Press(d.CBStaticChat);
  EXPECT_EQ(chat(), (std::vector<bool>{false, true, true, true, true, true}));
  Press(d.CBAutoChat);
  EXPECT_EQ(chat(), (std::vector<bool>{true, false, false, false, false, false}));
  // The handlers themselves, called as the status window's code would.
  d.CBStaticChatClick();
  EXPECT_EQ(chat(), (std::vector<bool>{false, true, true, true, true, true}));
  d.CBDnsClick();
  EXPECT_EQ(local(), (std::vector<bool>{false, false, true, false, true}));
  // A click changes no text.
  EXPECT_EQ(WindowText(d.EChatPort), "");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionDialogTest, TabOrder_RunsThroughTheCheckedButtonsAndOpenEdits) {
  auto dialog = Open("10.0.0.7", "chat.example", 7777);
  TfmConnOpz& d = *dialog;
  HWND window = d.Form.Handle();
  std::vector<HWND> order;
  HWND at = GetNextDlgTabItem(window, nullptr, FALSE);
  for (int i = 0; i < 20 && at && (order.empty() || at != order.front()); ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(window, at, FALSE);
  }
  EXPECT_EQ(order, (std::vector<HWND>{d.CBStaticIP, d.ELocStaticIP, d.CBStaticChat, d.EChatIp,
                                      d.EChatPort, d.BitBtn1, d.BitBtn2}));
  d.CBDnsClick();
  d.CBAutoChatClick();
  order.clear();
  at = GetNextDlgTabItem(window, nullptr, FALSE);
  for (int i = 0; i < 20 && at && (order.empty() || at != order.front()); ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(window, at, FALSE);
  }
  EXPECT_EQ(order, (std::vector<HWND>{d.CBDns, d.ELocDns, d.CBAutoChat, d.BitBtn1, d.BitBtn2}));
}

// ---- "Save"

TEST_F(ConnectionDialogTest, Save_StaticAddressAndPortWriteBothKeysButNeverThePort) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  dialog->CBStaticIPClick();
  SetText(dialog->ELocStaticIP, "10.0.0.7");
  dialog->CBStaticChatClick();
  SetText(dialog->EChatIp, "chat.example");
  SetText(dialog->EChatPort, "65535");
  std::string before = Ini();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), IDOK);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(Ini(), WithKey(WithKey(before, "MYIP", "127.0.0.1", "10.0.0.7"), "IPADDRCHATSERVER",
                           "127.0.0.1", "chat.example"));
  EXPECT_EQ(Key("DEFAULT", "PORT"), "7777");
  EXPECT_EQ(dialog->Values().Local, "10.0.0.7");
  EXPECT_EQ(dialog->Values().Chat, "chat.example");
  EXPECT_EQ(dialog->Values().Port, 65535);
}

TEST_F(ConnectionDialogTest, Save_AutomaticChoicesWriteAuto) {
  auto dialog = Open("10.0.0.7", "chat.example", 6000);
  dialog->CBLocAutoIPClick();
  dialog->CBAutoChatClick();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), IDOK);
  EXPECT_EQ(Key("SERVER", "MYIP"), "AUTO");
  EXPECT_EQ(Key("SERVER", "IPADDRCHATSERVER"), "AUTO");
  EXPECT_EQ(dialog->Values().Local, "AUTO");
  EXPECT_EQ(dialog->Values().Chat, "AUTO");
  // The automatic chat server keeps the port the dialog was loaded with.
  EXPECT_EQ(dialog->Values().Port, 6000);
}

TEST_F(ConnectionDialogTest, Save_HostNameAndChatAddressAreTakenUnchecked) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  dialog->CBDnsClick();
  SetText(dialog->ELocDns, "my  host");
  dialog->CBStaticChatClick();
  SetText(dialog->EChatIp, "not an address at all");
  SetText(dialog->EChatPort, "$FF");
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), IDOK);
  EXPECT_TRUE(Shown().empty());
  EXPECT_NE(Ini().find("\r\nMYIP=my  host\r\n"), std::string::npos) << Ini();
  EXPECT_EQ(Key("SERVER", "IPADDRCHATSERVER"), "not an address at all");
  EXPECT_EQ(dialog->Values().Port, 255);
  EXPECT_EQ(dialog->Values().Local, "my  host");
}

class PortRefused : public ConnectionDialogTest,
                    public ::testing::WithParamInterface<const char*> {};

TEST_P(PortRefused, ShowsTheRangeAndStaysOpenWithMyipAlreadyWritten) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  dialog->CBStaticIPClick();
  SetText(dialog->ELocStaticIP, "10.0.0.7");
  dialog->CBStaticChatClick();
  SetText(dialog->EChatIp, "chat.example");
  SetText(dialog->EChatPort, GetParam());
  std::string before = Ini();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), 0) << "the dialog must stay open";
  EXPECT_EQ(Shown(), std::vector<std::string>{"message: Invalid Port Number (0 - 65535)"});
  EXPECT_EQ(Ini(), WithKey(before, "MYIP", "127.0.0.1", "10.0.0.7"));
  EXPECT_EQ(dialog->Values().Chat, "AUTO");
  EXPECT_EQ(dialog->Values().Port, 7777);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortRefused,
                         ::testing::Values("65536", "-1", "", "7777 ", "seven"));

TEST_F(ConnectionDialogTest, Save_BadStaticAddressShowsEachFailingCheckAndWritesNothing) {
  auto dialog = Open("10.0.0.7", "AUTO", 7777);
  SetText(dialog->ELocStaticIP, "300.1.1.1");
  std::string before = Ini();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>(2, "message: Invalid IP number"));
  EXPECT_EQ(Ini(), before);
}

TEST_F(ConnectionDialogTest, Save_StaticAddressOfTwoPartsIsRefusedSilently) {
  auto dialog = Open("10.0.0.7", "AUTO", 7777);
  SetText(dialog->ELocStaticIP, "10.1");
  std::string before = Ini();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), 0);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(Ini(), before);
}

TEST_F(ConnectionDialogTest, Save_WithoutTheSettingsFileSaysSoAndStillClosesWithOk) {
  auto dialog = Open("10.0.0.7", "chat.example", 6000);
  dialog->CBLocAutoIPClick();
  dialog->CBAutoChatClick();
  RemoveIni();
  dialog->BitBtn1Click();
  EXPECT_EQ(dialog->Form.ModalResult(), IDOK);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(GetFileAttributesA(Dir.File("Brennak.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  // The status window then applies the values the dialog was loaded with.
  EXPECT_EQ(dialog->Values().Local, "10.0.0.7");
  EXPECT_EQ(dialog->Values().Chat, "chat.example");
  EXPECT_EQ(dialog->Values().Port, 6000);
}

TEST_F(ConnectionDialogTest, Save_FailedWriteShowsTheErrorBoxAndStaysOpen) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  std::string before = Ini();
  LockIni();
  // Through the button, so the error passes the dialog's own handling.
  Press(dialog->BitBtn1);
  EXPECT_EQ(dialog->Form.ModalResult(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>{"error: Unable to write to ./Brennak.ini."});
  UnlockIni();
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(dialog->Values().Local, "AUTO");
}

// ---- Modal use

TEST_F(ConnectionDialogTest, ShowModal_CancelAfterEditingChangesNothing) {
  auto dialog = Open("10.0.0.7", "chat.example", 6000);
  std::string before = Ini();
  TDialogScript script("Connection Option", [&](HWND window) {
    EXPECT_EQ(window, dialog->Form.Handle());
    Press(dialog->CBDns);
    SetText(dialog->ELocDns, "other.example");
    Press(dialog->CBAutoChat);
    Press(dialog->BitBtn2);
  });
  EXPECT_EQ(dialog->ShowModal(), IDCANCEL);
  EXPECT_TRUE(script.Ran());
  EXPECT_FALSE(IsWindowVisible(dialog->Form.Handle()));
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(dialog->Values().Local, "10.0.0.7");
  EXPECT_EQ(dialog->Values().Chat, "chat.example");
  EXPECT_EQ(dialog->Values().Port, 6000);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionDialogTest, ShowModal_CloseBoxAndEscapeAreCancel) {
  auto dialog = Open("AUTO", "AUTO", 7777);
  {
    TDialogScript script("Connection Option",
                         [&](HWND window) { SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(dialog->ShowModal(), IDCANCEL);
    EXPECT_TRUE(script.Ran());
  }
  {
    TDialogScript script("Connection Option", [&](HWND) {
      // A key goes through the dialog's queue like the user's.
      PostMessageA(dialog->CBLocAutoIP, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(dialog->ShowModal(), IDCANCEL);
    EXPECT_TRUE(script.Ran());
    EXPECT_FALSE(script.TimedOut());
  }
}

TEST_F(ConnectionDialogTest, ShowModal_BlocksTheOwnerUntilSaveClosesIt) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  TfmConnOpz dialog(owner, Boxes);
  dialog.LoadValues("AUTO", "AUTO", 7777);
  bool ownerWasEnabled = true;
  TDialogScript script("Connection Option", [&](HWND window) {
    ownerWasEnabled = IsWindowEnabled(owner) != FALSE;
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner);
    Press(dialog.CBStaticChat);
    SetText(dialog.EChatIp, "127.0.0.1");
    SetText(dialog.EChatPort, "7001");
    Press(dialog.BitBtn1);
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
  EXPECT_TRUE(script.Ran());
  EXPECT_FALSE(ownerWasEnabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(dialog.Values().Port, 7001);
  EXPECT_EQ(Key("SERVER", "IPADDRCHATSERVER"), "127.0.0.1");
  DestroyWindow(owner);
}

TEST_F(ConnectionDialogTest, ShowModal_RefusedPortKeepsTheDialogOpenForAnotherTry) {
  auto dialog = Open("AUTO", "chat.example", 7777);
  TDialogScript script("Connection Option", [&](HWND window) {
    SetText(dialog->EChatPort, "70000");
    Press(dialog->BitBtn1);
    EXPECT_TRUE(IsWindowVisible(window));
    SetText(dialog->EChatPort, "7002");
    Press(dialog->BitBtn1);
  });
  EXPECT_EQ(dialog->ShowModal(), IDOK);
  EXPECT_EQ(Shown(), std::vector<std::string>{"message: Invalid Port Number (0 - 65535)"});
  EXPECT_EQ(dialog->Values().Port, 7002);
}

TEST_F(ConnectionDialogTest, Messages_PlatformBoxesBelongToTheDialog) {
  TPlatformMessageBox platform;
  TfmConnOpz dialog(nullptr, platform);
  EXPECT_NE(&dialog.Form.Messages(), static_cast<TMessageBoxPort*>(&platform));
  TfmConnOpz recorded(nullptr, Boxes);
  EXPECT_EQ(&recorded.Form.Messages(), static_cast<TMessageBoxPort*>(&Boxes));
}

}  // namespace

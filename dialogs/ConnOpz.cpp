#include "dialogs/ConnOpz.h"

#include "dialogs/DialogResources.h"
#include "session/ConnectionSave.h"
#include "session/SaveJournal.h"

TfmConnOpz::TfmConnOpz(HWND owner, TMessageBoxPort& messages)
    : Form(owner, messages, kCaption, kWidth, kHeight) {
  CreateControls();
  Form.OnCommand([this](int id, int code) { OnCommand(id, code); });
}

void TfmConnOpz::CreateControls() {
  // Places inside a group are counted from the group's corner, as drawn;
  // labels are as wide as their text in the font they get. The
  // three own-address buttons come before their edits so that the arrow keys
  // move between the buttons only; TAB reaches just the checked one, so the
  // order of TAB stops is the same as the drawing's.
  GroupBox1 = Form.AddGroup("Local Machine", 8, 8, 273, 105, kIdGroupBox1);
  const int g1x = 8, g1y = 8;
  CBLocAutoIP =
      Form.AddRadio("Obtain Automaticly IP", g1x + 8, g1y + 24, 139, 17, kIdCBLocAutoIP, true);
  CBStaticIP = Form.AddRadio("Static IP", g1x + 8, g1y + 48, 85, 17, kIdCBStaticIP, false);
  CBDns = Form.AddRadio("DNS Name", g1x + 8, g1y + 72, 86, 17, kIdCBDns, false);
  ELocStaticIP = Form.AddEdit(g1x + 96, g1y + 45, 169, 21, kIdELocStaticIP);
  ELocDns = Form.AddEdit(g1x + 96, g1y + 69, 169, 21, kIdELocDns);

  GroupBox2 = Form.AddGroup("Chat Server", 8, 128, 273, 121, kIdGroupBox2);
  const int g2x = 8, g2y = 128;
  CBAutoChat = Form.AddRadio("Obtain Automaticly Data of Chat Server", g2x + 8, g2y + 24, 217, 17,
                             kIdCBAutoChat, true);
  CBStaticChat = Form.AddRadio("Specify Data of Chat Server", g2x + 8, g2y + 48, 163, 17,
                               kIdCBStaticChat, false);
  LChatIp = Form.AddLabel("IP/DNS Address", g2x + 8, g2y + 72, kIdLChatIp);
  EChatIp = Form.AddEdit(g2x + 96, g2y + 69, 169, 21, kIdEChatIp);
  LChatPort = Form.AddLabel("Port Number", g2x + 8, g2y + 96, kIdLChatPort);
  EChatPort = Form.AddEdit(g2x + 96, g2y + 93, 169, 21, kIdEChatPort);

  BitBtn1 = Form.AddGlyphButton("Save", IDB_SAVEGLYPH, 40, 256, 75, 25, kIdBitBtn1);
  BitBtn2 = Form.AddGlyphButton("Cancel", IDB_CANCELGLYPH, 176, 256, 75, 25, kIdBitBtn2);
  // The first group's start for the arrow keys ends the radio group above it.
  SetWindowLongPtrA(ELocStaticIP, GWL_STYLE, GetWindowLongPtrA(ELocStaticIP, GWL_STYLE) | WS_GROUP);
  SetWindowLongPtrA(LChatIp, GWL_STYLE, GetWindowLongPtrA(LChatIp, GWL_STYLE) | WS_GROUP);
  SetWindowLongPtrA(BitBtn1, GWL_STYLE, GetWindowLongPtrA(BitBtn1, GWL_STYLE) | WS_GROUP);
}

void TfmConnOpz::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kIdBitBtn1:
      BitBtn1Click();
      return;
    case kIdCBLocAutoIP:
      CBLocAutoIPClick();
      return;
    case kIdCBStaticIP:
      CBStaticIPClick();
      return;
    case kIdCBDns:
      CBDnsClick();
      return;
    case kIdCBAutoChat:
      CBAutoChatClick();
      return;
    case kIdCBStaticChat:
      CBStaticChatClick();
      return;
    default:
      return;
  }
}

void TfmConnOpz::LoadValues(const std::string& local, const std::string& chat, int32_t port) {
  Values_ = TConnectionValues{local, chat, port};
  TLocalChoice choice = LocalChoiceFor(local);
  SelectLocal(choice);
  SetWindowTextA(ELocStaticIP, choice == TLocalChoice::Static ? local.c_str() : "");
  SetWindowTextA(ELocDns, choice == TLocalChoice::Dns ? local.c_str() : "");
  const bool automatic = ChatIsAuto(chat);
  SelectChat(automatic);
  SetWindowTextA(EChatIp, automatic ? "" : chat.c_str());
  SetWindowTextA(EChatPort, automatic ? "" : std::to_string(port).c_str());
}

bool TfmConnOpz::IsValidIP(const std::string& text, bool report) {
  return ::IsValidIP(text, report ? &Form.Messages() : nullptr);
}

void TfmConnOpz::SelectLocal(TLocalChoice choice) {
  TDialogWindow::SetChecked(CBLocAutoIP, choice == TLocalChoice::Auto);
  TDialogWindow::SetChecked(CBStaticIP, choice == TLocalChoice::Static);
  TDialogWindow::SetChecked(CBDns, choice == TLocalChoice::Dns);
  EnableWindow(ELocStaticIP, choice == TLocalChoice::Static);
  EnableWindow(ELocDns, choice == TLocalChoice::Dns);
}

void TfmConnOpz::SelectChat(bool automatic) {
  TDialogWindow::SetChecked(CBAutoChat, automatic);
  TDialogWindow::SetChecked(CBStaticChat, !automatic);
  for (HWND control : {EChatIp, EChatPort, LChatIp, LChatPort}) EnableWindow(control, !automatic);
}

void TfmConnOpz::CBLocAutoIPClick() {
  SelectLocal(TLocalChoice::Auto);
}
void TfmConnOpz::CBStaticIPClick() {
  SelectLocal(TLocalChoice::Static);
}
void TfmConnOpz::CBDnsClick() {
  SelectLocal(TLocalChoice::Dns);
}
void TfmConnOpz::CBAutoChatClick() {
  SelectChat(true);
}
void TfmConnOpz::CBStaticChatClick() {
  SelectChat(false);
}

void TfmConnOpz::BitBtn1Click() {
  TConnectionEntries entries;
  // LoadValues and the buttons keep exactly one button of each group checked.
  entries.Local = TDialogWindow::IsChecked(CBLocAutoIP)  ? TLocalChoice::Auto
                  : TDialogWindow::IsChecked(CBStaticIP) ? TLocalChoice::Static
                                                         : TLocalChoice::Dns;
  entries.StaticIP = TDialogWindow::Text(ELocStaticIP);
  entries.DnsName = TDialogWindow::Text(ELocDns);
  entries.AutoChat = TDialogWindow::IsChecked(CBAutoChat);
  entries.ChatIp = TDialogWindow::Text(EChatIp);
  entries.ChatPort = TDialogWindow::Text(EChatPort);
  const TSaveResult result = JournalSave(
      Journal, "Connection",
      [&] { return SaveConnectionEntries(entries, Values_, Form.Messages()); },
      [&] { return "MYIP=" + Values_.Local + ", IPADDRCHATSERVER=" + Values_.Chat; });
  if (result != TSaveResult::Stopped) Form.Close(IDOK);
}

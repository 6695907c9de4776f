#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "dialogs/DialogWindow.h"
#include "platform/MessageBox.h"
#include "session/ConnectionValues.h"
#include "session/Journal.h"

// "Connection Option": the own address (automatic, a static address or a host
// name) and the chat server (automatic, or an address and a port). It holds the
// three values it was loaded with; "Save" writes [SERVER] MYIP and
// IPADDRCHATSERVER and takes the new values, which the status window reads
// after an OK. The port is never written to the file.
class TfmConnOpz {
 public:
  static constexpr const char* kCaption = "Connection Option";
  static constexpr int kWidth = 297;
  static constexpr int kHeight = 315;

  enum TControlId : int {
    kIdBitBtn1 = 10,
    kIdBitBtn2 = IDCANCEL,
    kIdGroupBox1 = 100,
    kIdCBLocAutoIP,
    kIdCBStaticIP,
    kIdELocStaticIP,
    kIdCBDns,
    kIdELocDns,
    kIdGroupBox2,
    kIdCBAutoChat,
    kIdCBStaticChat,
    kIdLChatIp,
    kIdEChatIp,
    kIdLChatPort,
    kIdEChatPort,
  };

  // messages: the status window's boxes (messages and the error display).
  TfmConnOpz(HWND owner, TMessageBoxPort& messages);

  // Stores the values and sets the controls from them.
  void LoadValues(const std::string& local, const std::string& chat, int32_t port);
  // The address check; with report, each failing check shows "Invalid IP number".
  bool IsValidIP(const std::string& text, bool report);

  // "Save": writes the file and closes with OK, or shows why not and stays open.
  void BitBtn1Click();
  void CBLocAutoIPClick();
  void CBStaticIPClick();
  void CBDnsClick();
  void CBAutoChatClick();
  void CBStaticChatClick();

  // IDOK after "Save", IDCANCEL after "Cancel" or the close box.
  int ShowModal() { return Form.ShowModal(); }
  // The values, as loaded or as the last "Save" took them.
  const TConnectionValues& Values() const { return Values_; }

  TDialogWindow Form;
  // Where a save is told; none: nowhere.
  TJournal* Journal = nullptr;
  HWND GroupBox1 = nullptr;
  HWND CBLocAutoIP = nullptr;
  HWND CBStaticIP = nullptr;
  HWND ELocStaticIP = nullptr;
  HWND CBDns = nullptr;
  HWND ELocDns = nullptr;
  HWND GroupBox2 = nullptr;
  HWND CBAutoChat = nullptr;
  HWND CBStaticChat = nullptr;
  HWND LChatIp = nullptr;
  HWND EChatIp = nullptr;
  HWND LChatPort = nullptr;
  HWND EChatPort = nullptr;
  HWND BitBtn1 = nullptr;
  HWND BitBtn2 = nullptr;

 private:
  void CreateControls();
  void OnCommand(int id, int code);
  // The own-address group: which button is checked and which edit is open.
  void SelectLocal(TLocalChoice choice);
  // The chat group: automatic, or the address and port open for typing.
  void SelectChat(bool automatic);

  TConnectionValues Values_;
};

#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

// The shell's notification area as the window uses it; tests record the calls.
class TShellIconPort {
 public:
  virtual ~TShellIconPort() = default;
  // Shell_NotifyIconA: message is NIM_ADD or NIM_DELETE.
  virtual bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) = 0;
};

class TShellNotificationArea : public TShellIconPort {
 public:
  bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override {
    return Shell_NotifyIconA(message, &data) != FALSE;
  }
};

// The callback message of the icon: the window's WM_CALLBACKPRO.
constexpr UINT kIconCallbackMessage = WM_USER;
constexpr UINT kIconId = 1;
constexpr UINT kIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr const char* kIconTip = "ORVANE Active";

// The icon that stands for the hidden status window. One record, in the
// shell's first (88-byte in a 32-bit process) layout, adds and deletes it for
// as long as the program runs.
class TNotifyIcon {
 public:
  explicit TNotifyIcon(TShellIconPort& shell) : Shell_(shell) {}

  // Fills the record for window and icon and asks the shell to add the icon.
  void Add(HWND window, HICON icon);
  // Asks the shell to delete the icon, when it is shown.
  void Delete();
  // The shell's taskbar was created anew (Explorer restarted): every icon it
  // had is gone, so a shown icon is added again.
  void TaskbarCreated();
  bool Shown() const { return Shown_; }
  const NOTIFYICONDATAA& Record() const { return Data_; }

 private:
  TShellIconPort& Shell_;
  NOTIFYICONDATAA Data_ = {};
  bool Shown_ = false;
};

#include "app/NotifyIcon.h"

#include <cstring>

// The first version of the record is what every shell understands; its size is
// the offset of the end of the 64-byte tip.
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the first NOTIFYICONDATAA layout is 88 bytes");
#endif

void TNotifyIcon::Add(HWND window, HICON icon) {
  Data_ = NOTIFYICONDATAA();
  Data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  Data_.hWnd = window;
  Data_.uID = kIconId;
  Data_.uFlags = kIconFlags;
  Data_.uCallbackMessage = kIconCallbackMessage;
  Data_.hIcon = icon;
  std::strncpy(Data_.szTip, kIconTip, sizeof Data_.szTip - 1);
  Shell_.NotifyIcon(NIM_ADD, Data_);
  Shown_ = true;
}

void TNotifyIcon::Delete() {
  if (!Shown_) return;
  Shell_.NotifyIcon(NIM_DELETE, Data_);
  Shown_ = false;
}

void TNotifyIcon::TaskbarCreated() {
  if (Shown_) Shell_.NotifyIcon(NIM_ADD, Data_);
}

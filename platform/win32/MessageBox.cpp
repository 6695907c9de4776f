#include "platform/MessageBox.h"

#include <windows.h>

void TPlatformMessageBox::ShowMessage(const std::string& text) {
  if (OnShow) OnShow(text);
  MessageBoxA(static_cast<HWND>(Owner_), text.c_str(), kApplicationTitle, MB_OK);
}

void TPlatformMessageBox::ShowError(const std::string& text) {
  if (OnShow) OnShow(text);
  MessageBoxA(static_cast<HWND>(Owner_), text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

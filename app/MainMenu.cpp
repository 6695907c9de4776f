// The File menu, the close box and the notification-area icon.
#include "app/MainWindow.h"

void TfmMain::Close1Click() {
  // "Iconize": the window goes, the icon in the notification area brings it back.
  ShowWindow(Handle_, SW_HIDE);
  TrayIcon.Add(Handle_, Icon_);
}

void TfmMain::Exit1Click() {
  // The message loop ends; the owner of the window then destroys it, which
  // runs FormDestroy.
  Application_.Terminate();
}

void TfmMain::WM_CALLBACKPRO(LPARAM mouseMessage) {
  // A left-button press over the icon brings the window back; every other
  // mouse message over the icon is ignored.
  if (mouseMessage != WM_LBUTTONDOWN) return;
  TrayIcon.Delete();
  ShowWindow(Handle_, SW_SHOW);
  SetForegroundWindow(Handle_);
}

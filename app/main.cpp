// The program entry: the application titled "ORVANE", its status window, and
// the message loop until the application is told to end.
#include <windows.h>

#include <memory>

#include "app/Application.h"
#include "app/ErrorText.h"
#include "app/MainWindow.h"
#include "chat/IdErrors.h"
#include "platform/MessageBox.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TApplication Application;
  Application.Title = "ORVANE";
  std::unique_ptr<TfmMain> fmMain;
  try {
    fmMain = std::make_unique<TfmMain>(Application);
  } catch (const EIdException& e) {
    // The window's network objects start the socket layer; a Windows Sockets
    // library that cannot be loaded or started leaves nothing to run.
    TPlatformMessageBox().ShowError(ErrorBoxText(e.what()));
    return 1;
  }
  fmMain->Create();
  if (!Application.Terminated()) fmMain->Show();
  // Also after a refused start: the loop takes the quit message out of the
  // queue, so that no box of the shutdown ends the moment it appears.
  Application.Run();
  fmMain->Destroy();
  return 0;
}

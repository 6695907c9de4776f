// The program entry: the application titled "ORVANE", its status window, and
// the message loop until the application is told to end.
#include <windows.h>

#include "app/Application.h"
#include "app/MainWindow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TApplication Application;
  Application.Title = "ORVANE";
  TfmMain fmMain(Application);
  fmMain.Create();
  if (!Application.Terminated()) {
    fmMain.Show();
    Application.Run();
  }
  fmMain.Destroy();
  return 0;
}

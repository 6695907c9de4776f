// Start-up and shutdown of the controller.
#include <memory>

#include "app/MainWindow.h"
#include "dialogs/message.h"

void TfmMain::FormCreate() {
  SetInRace(false);
  ShowBoard();
  ShowChatState(1);
}

void TfmMain::FormDestroy() {
  auto notice = std::make_unique<Tfmmsg>(Handle_);
  notice->ShowNotice("Shutdown connection to chat server", "Shutdown");
  notice->Show();
  StopAll();
  Session.ResponseLog.Close();
  TrayIcon.Delete();
}

void TfmMain::StopAll() {}

void TfmMain::RetriveAutoIP1Click() {}

void TfmMain::Chat1Click() { Session.RequestResend(); }

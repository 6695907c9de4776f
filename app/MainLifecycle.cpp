// Start-up and shutdown of the controller.
#include <exception>
#include <memory>

#include "app/MainWindow.h"
#include "dialogs/message.h"
#include "session/Settings.h"

void TfmMain::FormCreate() {
  // A missing settings or log file has been shown by LoadSettings; the program
  // ends without starting anything.
  if (!LoadSettings(Session, *Messages_)) {
    Application_.Terminate();
    return;
  }
  ShowTrackList();
  // A response file that cannot be created ends the start here: the error is
  // shown by the general error display and the window stays open.
  InitSession(Session, Board);
  SetInRace(false);
  ShowBoard();
  ShowChatState(1);
  StartSequence.StartMonitoring();
}

void TfmMain::RetriveAutoIP1Click() {
  StartSequence.RetriveAutoIP1Click();
}

void TfmMain::Chat1Click() {
  // While a watcher still runs the start sequence starts no second one; the
  // running watcher then sends the status again on its next pass.
  Session.RequestResend();
  StartSequence.StartMonitoring();
}

void TfmMain::FormDestroy() {
  auto notice = std::make_unique<Tfmmsg>(Handle_);
  notice->ShowNotice("Shutdown connection to chat server", "Shutdown");
  notice->Show();
  // Whatever fails on the way, the response file is flushed and closed, and an
  // icon left in the notification area is removed: nothing received is lost,
  // and no icon outlives the program.
  std::exception_ptr failure;
  try {
    StopAll();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    Session.ResponseLog.Close();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  TrayIcon.Delete();
  notice.reset();
  if (failure) std::rethrow_exception(failure);
}

void TfmMain::StopAll() {
  // The watcher looks at the request only between passes: the wait lasts up to
  // one sleep plus one pass. Meanwhile this thread keeps running what the
  // watcher and the receive thread hand over, or they could wait for each other.
  if (Session.LogThread) {
    TThread& watcher = *Session.LogThread;
    watcher.Terminate();
    Bridge_.ServeUntil([&watcher] { return watcher.Finished(); });
  }
  // A "/quit" that cannot be written must not leave the connection open: the
  // next start would take the dead connection for a live one.
  std::exception_ptr failure;
  try {
    ChatLink.CloseChat();
  } catch (...) {
    failure = std::current_exception();
  }
  IdTCPClient1.CloseConnection();
  if (failure) std::rethrow_exception(failure);
}

// Start-up and shutdown of the controller.
#include <exception>
#include <memory>
#include <vector>

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
  // The indicator reads "Available" before the response file is opened: a
  // failure there must not leave the placeholder caption, which reads like a
  // race in progress.
  SetInRace(false);
  // A response file that cannot be created ends the start here: the error is
  // shown by the general error display and the window stays open.
  InitSession(Session, Board);
  ShowBoard();
  ShowChatState(1);
  StartSequence.StartMonitoring();
}

void TfmMain::RetriveAutoIP1Click() {
  StartSequence.RetriveAutoIP1Click();
}

void TfmMain::Chat1Click() {
  // While a watcher still runs the start sequence starts no second one; the
  // running watcher passes again at once, connecting when it is not connected,
  // and sends the status again.
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
  TStopping stopping(*this);
  // The watcher looks at the request only between passes, and the receive
  // thread between messages: the waits last up to one sleep plus one pass, and
  // a read time-out. Meanwhile this thread keeps running what the two hand over
  // (or they could wait for each other) and keeps reading the windows'
  // messages, so that the windows stay painted and answering; the user's menu
  // commands wait for the end of the stop (OnCommand). A lookup in the
  // background gives up its connect or read within a wait slice.
  StartSequence.StopLookup();
  if (Session.LogThread) {
    TThread& watcher = *Session.LogThread;
    watcher.Terminate();
    Bridge_.ServeUntilFinished(watcher);
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

TfmMain::TStopping::TStopping(TfmMain& form) : Form_(form) {
  ++Form_.Stopping_;
}

TfmMain::TStopping::~TStopping() {
  if (--Form_.Stopping_ > 0) return;
  // The commands chosen meanwhile run now, in the order they were chosen.
  std::vector<int> deferred;
  deferred.swap(Form_.DeferredCommands_);
  for (int id : deferred) PostMessageA(Form_.Handle_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

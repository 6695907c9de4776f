// Start-up and shutdown of the controller.
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "Version.h"
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
  if (Session.KeepJournal) {
    Session.Journal.Open(kJournalPath, kJournalOldPath);
    Session.Journal.Write("START", StartText(Session));
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

std::string StartText(const TSession& session) {
  const char* bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
  std::string text = std::string("ORVANE ") + ORVANE_VERSION_TEXT + " (" + bits + ")";
  text += ", log " + session.LogPath;
  text += ", chat server " + session.ChatServerAddress;
  text += ", port " + std::to_string(session.ChatPort);
  text += ", own address " + session.LocalAddress;
  text += ", refresh " + std::to_string(session.RefreshTime) + " ms";
  text += ", AUTORECONNECT " +
          (session.AutoReconnect > 0 ? std::to_string(session.AutoReconnect) : std::string("off"));
  return text;
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
  // Nothing starts again once the end has come (a lookup handing over its
  // values, a command held from before).
  StartSequence.Close();
  auto notice = std::make_unique<Tfmmsg>(Handle_);
  notice->ShowNotice("Shutdown connection to chat server", "Shutdown");
  notice->Show();
  // Whatever fails on the way, the response file is flushed and closed, and an
  // icon left in the notification area is removed: nothing received is lost,
  // and no icon outlives the program.
  const auto stopping = std::chrono::steady_clock::now();
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
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - stopping).count();
  char stop[48];
  std::snprintf(stop, sizeof stop, ", the stop took %.1f s", took);
  Session.Journal.Write("EXIT", EndCause_ + stop);
  // The window's thread waits for the disk no longer than a second.
  Session.Journal.Close(1000);
  if (failure) std::rethrow_exception(failure);
}

void TfmMain::StopAll() {
  // The watcher looks at the request only between passes, and the receive
  // thread between messages: the waits last up to one sleep plus one pass, and
  // a read time-out. Meanwhile this thread keeps running what the two hand over
  // (or they could wait for each other) and keeps reading the windows'
  // messages, so that the windows stay painted and answering; the user's
  // commands wait for the end of the stop (RunCommand). A lookup in the
  // background, and the watcher's connect (its name lookup included) or a send
  // that waits for a chat server that stopped reading, give up within a wait
  // slice. Safe to run again while it runs (the end of the Windows session
  // can come in during one of its waits): each step finds done what is done.
  StartSequence.StopLookup();
  if (Session.LogThread && !Session.LogThread->Finished()) {
    TThread& watcher = *Session.LogThread;
    watcher.Terminate();
    ChatLink.AbandonWaits(true);
    Bridge_.ServeUntilFinished(watcher);
    ChatLink.AbandonWaits(false);
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

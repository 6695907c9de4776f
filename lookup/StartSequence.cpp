#include "lookup/StartSequence.h"

#include <exception>
#include <memory>
#include <mutex>
#include <utility>

#include "lookup/DirectoryRecheck.h"
#include "lookup/DirectoryReply.h"
#include "lookup/Http.h"
#include "lookup/LookupJournal.h"
#include "lookup/StartWindowPort.h"
#include "monitor/LogWatcher.h"
#include "platform/MessageBox.h"
#include "session/IntConv.h"
#include "session/Session.h"

TStartSequence::TStartSequence(TSession& session, TRaceBoard& board, TIdHTTP& http,
                               TMessageBoxPort& boxes, TStartWindowPort& window,
                               TWatcherChatPort& chat, TWatcherWindowPort& watcherWindow,
                               TUiBridge& ui, std::string directoryBaseUrl)
    : Session_(session),
      Board_(board),
      Http_(http),
      Boxes_(boxes),
      Window_(window),
      Chat_(chat),
      WatcherWindow_(watcherWindow),
      Ui_(ui),
      DirectoryBase_(std::move(directoryBaseUrl)) {
  Http_.Abandon = [this] { return Abandoned(); };
}

TStartSequence::~TStartSequence() {
  StopLookup();
  Http_.Abandon = nullptr;
}

bool TStartSequence::FetchAutoIP(bool LocalAuto, bool ChatAuto) {
  TDirectoryReply reply;
  TLookupOutcome outcome = TLookupOutcome::NoAnswer;
  // The GET (its name lookup and connect included) runs beside the window's
  // thread, which reads its messages meanwhile: the window keeps answering
  // however long the directory or the DNS server takes, within the bounds.
  Ui_.RunAside([&] {
    outcome =
        AskDirectory(Http_, DirectoryUrl(DirectoryBase_), LocalAuto, ChatAuto, Limits(), reply);
  });
  // The end of the program was asked for meanwhile: nobody is to be told.
  if (outcome != TLookupOutcome::Found && Abandoned()) return false;
  switch (outcome) {
    case TLookupOutcome::NoAnswer:
      JournalLookupFailure(Session_.Journal, kLookupFailedMessage);
      Boxes_.ShowMessage(kLookupFailedMessage);
      return false;
    case TLookupOutcome::Busy:
      JournalLookupFailure(Session_.Journal, kDirectoryBusyMessage);
      Boxes_.ShowMessage(kDirectoryBusyMessage);
      return false;
    case TLookupOutcome::Found:
      break;
  }
  std::lock_guard<std::mutex> lock(Session_.StateLock);
  if (ChatAuto) {
    Session_.ChatServerAddress = reply.ChatServerAddress;
    // A port that is not a number leaves here, with the address already set.
    try {
      Session_.ChatPort = StrToInt(reply.ChatPortText);
    } catch (const std::exception& e) {
      JournalLookupFailure(Session_.Journal, e.what());
      throw;
    }
  }
  JournalLookupAnswer(Session_.Journal, reply, LocalAuto, ChatAuto);
  if (LocalAuto) Session_.LocalAddress = reply.LocalAddress;
  return true;
}

void TStartSequence::StartMonitoring() {
  Start(false);
}

void TStartSequence::RetriveAutoIP1Click() {
  Start(true);
}

void TStartSequence::Close() {
  Closed_ = true;
  StopLookup();
}

bool TStartSequence::WakeRunningWatcher() {
  if (!Session_.LogThread || Session_.LogThread->Finished()) return false;
  // Two watchers would share the session and the chat connection: a running
  // one is asked to go on and pass at once instead. One that has already
  // decided to end has nothing left to do but return, so the wait for it is
  // a matter of moments, and the start follows it.
  auto* running = dynamic_cast<TTLog*>(Session_.LogThread.get());
  if (running && running->RequestStart()) return true;
  if (Ui_.OnUiThread())
    Ui_.ServeUntilFinished(*Session_.LogThread);
  else
    Session_.LogThread->WaitFor();
  return false;
}

void TStartSequence::Start(bool byUser) {
  if (Closed_) return;
  if (WakeRunningWatcher()) return;
  bool localAuto, chatAuto, heals;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    localAuto = Session_.LocalAuto;
    chatAuto = Session_.ChatAuto;
    heals = Session_.AutoReconnect > 0;
  }
  if (!localAuto && !chatAuto) {
    StartWatcher();
    return;
  }
  if (heals && !byUser) {
    // A start while the background lookup waits ("Reconnect to Chat") tries
    // at once instead of starting another.
    if (Retry_ && !Retry_->Finished()) {
      Retry_->TryNow();
      return;
    }
    StartLookup(localAuto, chatAuto, false);
    return;
  }
  // The user's lookup replaces the background one: two would race to store
  // their values and start the watcher.
  StopLookup();
  bool found;
  try {
    found = FetchAutoIP(localAuto, chatAuto);
  } catch (...) {
    // A port that is not a number: shown by the window; the next answer may be good.
    if (heals) StartLookup(localAuto, chatAuto, true);
    throw;
  }
  if (!found) {
    Window_.EnableRetriveAutoIP(true);
    if (heals) StartLookup(localAuto, chatAuto, true);
    return;
  }
  StartWatcher();
}

void TStartSequence::StartLookup(bool localAuto, bool chatAuto, bool waitFirst) {
  StopLookup();
  TLookupRetry::TPlan plan;
  plan.Url = DirectoryUrl(DirectoryBase_);
  plan.LocalAuto = localAuto;
  plan.ChatAuto = chatAuto;
  plan.Limits = Limits();
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    plan.FirstWait = TTLog::PauseAfterPass(Session_.RefreshTime);
    plan.LongestWait = int64_t{Session_.AutoReconnect} * 1000;
  }
  plan.WaitFirst = waitFirst;
  plan.Journal = &Session_.Journal;
  // Until the directory answers, the user may ask for a lookup at once.
  Window_.EnableRetriveAutoIP(true);
  Retry_ = std::make_unique<TLookupRetry>(
      std::move(plan), Ui_,
      [this](const TDirectoryReply& reply, int32_t port) { LookupFound(reply, port); });
}

void TStartSequence::StopLookup() {
  // Destroying it stops it and waits, serving handovers on this thread.
  Retry_.reset();
}

void TStartSequence::LookupFound(const TDirectoryReply& reply, int32_t port) {
  bool localAuto, chatAuto;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    localAuto = Session_.LocalAuto;
    chatAuto = Session_.ChatAuto;
    if (chatAuto) {
      Session_.ChatServerAddress = reply.ChatServerAddress;
      Session_.ChatPort = port;
    }
    if (localAuto) Session_.LocalAddress = reply.LocalAddress;
  }
  StartWatcher();
}

void TStartSequence::StartWatcher() {
  // Every start comes here, the background lookup's included: while a watcher
  // runs there is never a second one.
  if (Closed_) return;
  if (WakeRunningWatcher()) {
    Window_.EnableRetriveAutoIP(false);
    return;
  }
  auto watcher = std::make_unique<TTLog>(Session_, Board_, Chat_, WatcherWindow_);
  bool heals, localAuto, chatAuto;
  int32_t recheck;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    heals = Session_.AutoReconnect > 0;
    localAuto = Session_.LocalAuto;
    chatAuto = Session_.ChatAuto;
    recheck = Session_.RecheckAuto;
  }
  // Left alone, the program keeps what it looked up current: a public address
  // that changes every night, a chat server that moves.
  if (heals && (localAuto || chatAuto) && recheck > 0)
    watcher->EnableRechecks(
        std::make_unique<TDirectoryRecheck>(DirectoryUrl(DirectoryBase_), localAuto, chatAuto,
                                            Limits(), Session_.Journal),
        recheck);
  watcher->Start();
  Session_.LogThread = std::move(watcher);
  Window_.EnableRetriveAutoIP(false);
}

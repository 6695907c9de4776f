#include "lookup/StartSequence.h"

#include <exception>
#include <memory>
#include <mutex>
#include <utility>

#include "lookup/DirectoryReply.h"
#include "lookup/Http.h"
#include "lookup/StartWindowPort.h"
#include "monitor/LogWatcher.h"
#include "platform/MessageBox.h"
#include "session/IntConv.h"
#include "session/Session.h"

namespace {

// The window's HTTP client keeps its own read time-out (none) for everything
// but the lookup.
class TReadTimeoutScope {
 public:
  TReadTimeoutScope(TIdHTTP& http, int timeout) : Http_(http), Saved_(http.ReadTimeout) {
    Http_.ReadTimeout = timeout;
  }
  ~TReadTimeoutScope() { Http_.ReadTimeout = Saved_; }
  TReadTimeoutScope(const TReadTimeoutScope&) = delete;
  TReadTimeoutScope& operator=(const TReadTimeoutScope&) = delete;

 private:
  TIdHTTP& Http_;
  int Saved_;
};

}  // namespace

TStartSequence::TStartSequence(TSession& session, TRaceBoard& board, TIdHTTP& http,
                               TMessageBoxPort& boxes, TStartWindowPort& window,
                               TWatcherChatPort& chat, TWatcherWindowPort& watcherWindow,
                               std::string directoryBaseUrl)
    : Session_(session),
      Board_(board),
      Http_(http),
      Boxes_(boxes),
      Window_(window),
      Chat_(chat),
      WatcherWindow_(watcherWindow),
      DirectoryBase_(std::move(directoryBaseUrl)) {}

bool TStartSequence::FetchAutoIP(bool LocalAuto, bool ChatAuto) {
  std::string body;
  int status = 0;
  try {
    TReadTimeoutScope timeout(Http_, LookupReadTimeout);
    body = Http_.FetchUrl(DirectoryUrl(DirectoryBase_));
    status = Http_.LastStatusCode();
  } catch (const std::exception&) {
    // Name lookup, connect, transfer, time-out or a refused status: to the
    // user they are all the same missing Internet connection.
    Boxes_.ShowMessage(kLookupFailedMessage);
    return false;
  }
  if (status != 200) {
    Boxes_.ShowMessage(kDirectoryBusyMessage);
    return false;
  }

  // Every key is looked for before anything is stored, so a reply cut short
  // by a busy script leaves the settings' values in place.
  TDirectoryReply reply;
  if (!ReadDirectoryReply(body, LocalAuto, ChatAuto, reply)) {
    Boxes_.ShowMessage(kDirectoryBusyMessage);
    return false;
  }
  std::lock_guard<std::mutex> lock(Session_.StateLock);
  if (ChatAuto) {
    Session_.ChatServerAddress = reply.ChatServerAddress;
    // A port that is not a number leaves here, with the address already set.
    Session_.ChatPort = StrToInt(reply.ChatPortText);
  }
  if (LocalAuto) Session_.LocalAddress = reply.LocalAddress;
  return true;
}

void TStartSequence::StartMonitoring() {
  if (Session_.LogThread && !Session_.LogThread->Finished()) {
    // Two watchers would share the session and the chat connection: a running
    // one is asked to go on and pass at once instead. One that has already
    // decided to end has nothing left to do but return, so the wait for it is
    // a matter of moments, and this start follows it.
    auto* running = dynamic_cast<TTLog*>(Session_.LogThread.get());
    if (running && running->RequestStart()) return;
    Session_.LogThread->WaitFor();
  }
  bool localAuto, chatAuto;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    localAuto = Session_.LocalAuto;
    chatAuto = Session_.ChatAuto;
  }
  if (localAuto || chatAuto) {
    if (!FetchAutoIP(localAuto, chatAuto)) {
      Window_.EnableRetriveAutoIP(true);
      return;
    }
  }
  auto watcher = std::make_unique<TTLog>(Session_, Board_, Chat_, WatcherWindow_);
  watcher->Start();
  Session_.LogThread = std::move(watcher);
  Window_.EnableRetriveAutoIP(false);
}

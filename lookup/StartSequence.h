#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lookup/Directory.h"
#include "lookup/DirectoryLookup.h"
#include "lookup/LookupRetry.h"

struct TSession;
class TRaceBoard;
class TIdHTTP;
class TMessageBoxPort;
class TStartWindowPort;
class TWatcherChatPort;
class TWatcherWindowPort;
class TUiBridge;

inline constexpr const char* kLookupFailedMessage =
    "Cannot retrive automatic IP info. Is connection to Internet up?";
inline constexpr const char* kDirectoryBusyMessage =
    "Cannot retrive automatic IP info. Server busy.";

// The controller's start sequence: resolves the "AUTO" settings through the
// directory, then starts the log watcher. Owned by the status window, which
// calls it from its event handlers on the user-interface thread; the HTTP
// client is the window's and is used by nothing else.
//
// With AUTORECONNECT set, a lookup that runs by itself (at start, after the
// Connection dialog, on "Reconnect to Chat") runs in the background
// (TLookupRetry), shows nothing when it fails and is tried again until it
// succeeds; "Retrive Auto IP" still looks up at once on the user-interface
// thread, shows its message, and leaves the retries going when it fails.
class TStartSequence {
 public:
  // directoryBaseUrl: "http://host[:port]" of the directory; the program keeps
  // the default, tests give their own server.
  TStartSequence(TSession& session, TRaceBoard& board, TIdHTTP& http, TMessageBoxPort& boxes,
                 TStartWindowPort& window, TWatcherChatPort& chat,
                 TWatcherWindowPort& watcherWindow, TUiBridge& ui,
                 std::string directoryBaseUrl = DirectoryBaseUrl());
  // Stops a background lookup, waiting for it while serving handovers.
  ~TStartSequence();
  TStartSequence(const TStartSequence&) = delete;
  TStartSequence& operator=(const TStartSequence&) = delete;

  // Read time-out of the lookup's HTTP transfer, in milliseconds; a time-out
  // fails the lookup like any other transfer failure.
  int LookupReadTimeout = kLookupReadTimeout;
  // Bound of one whole lookup, connect included, in milliseconds.
  int LookupDeadline = kLookupDeadline;

  // One GET to the directory; stores the values that the flags ask for. False
  // after a failure that has been shown to the user, the session unchanged. A
  // port that is not a number raises EConvertError after the chat server's
  // address has been stored.
  bool FetchAutoIP(bool LocalAuto, bool ChatAuto);
  // Looks up what is automatic, then starts the log watcher. A watcher that
  // still runs is asked to pass again at once instead, and starts no second
  // one; a watcher that is just ending is replaced, so the request is never
  // lost. EConvertError is left to the window's general error display.
  void StartMonitoring();
  // "Retrive Auto IP": looks up at once, here, even while a background lookup
  // waits for its next try (it is stopped first).
  void RetriveAutoIP1Click();
  // Ends a background lookup promptly (StopAll); on the user-interface thread
  // the wait for it serves handovers.
  void StopLookup();
  // The program ends: the background lookup stops, and no later call starts
  // anything.
  void Close();

  // Asked while the user's lookup waits for the directory: true gives it up at
  // once, and it then fails without a message (the program is ending).
  std::function<bool()> AbandonLookup;

 private:
  TSession& Session_;
  TRaceBoard& Board_;
  TIdHTTP& Http_;
  TMessageBoxPort& Boxes_;
  TStartWindowPort& Window_;
  TWatcherChatPort& Chat_;
  TWatcherWindowPort& WatcherWindow_;
  TUiBridge& Ui_;
  std::string DirectoryBase_;
  std::unique_ptr<TLookupRetry> Retry_;
  bool Closed_ = false;

  void Start(bool byUser);
  // Starts the lookup in the background; waitFirst after a failed lookup.
  void StartLookup(bool localAuto, bool chatAuto, bool waitFirst);
  // Runs on the user-interface thread with what the background lookup found.
  void LookupFound(const TDirectoryReply& reply, int32_t port);
  // The one place that starts a watcher: a running one is woken instead.
  void StartWatcher();
  // True when a running watcher took the start; otherwise none runs now (one
  // that was just ending has been waited for).
  bool WakeRunningWatcher();
  bool Abandoned() const { return AbandonLookup && AbandonLookup(); }
  TLookupLimits Limits() const { return {LookupReadTimeout, LookupDeadline}; }
};

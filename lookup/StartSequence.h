#pragma once

#include <string>

#include "lookup/Directory.h"

struct TSession;
class TRaceBoard;
class TIdHTTP;
class TMessageBoxPort;
class TStartWindowPort;
class TWatcherChatPort;
class TWatcherWindowPort;

inline constexpr const char* kLookupFailedMessage =
    "Cannot retrive automatic IP info. Is connection to Internet up?";
inline constexpr const char* kDirectoryBusyMessage =
    "Cannot retrive automatic IP info. Server busy.";

// The controller's start sequence: resolves the "AUTO" settings through the
// directory, then starts the log watcher. Owned by the status window, which
// calls it from its event handlers on the user-interface thread; the HTTP
// client is the window's and is used by nothing else.
class TStartSequence {
 public:
  // directoryBaseUrl: "http://host[:port]" of the directory; the program keeps
  // the default, tests give their own server.
  TStartSequence(TSession& session, TRaceBoard& board, TIdHTTP& http, TMessageBoxPort& boxes,
                 TStartWindowPort& window, TWatcherChatPort& chat,
                 TWatcherWindowPort& watcherWindow,
                 std::string directoryBaseUrl = DirectoryBaseUrl());

  // Read time-out of the lookup's HTTP transfer, in milliseconds; a time-out
  // fails the lookup like any other transfer failure.
  int LookupReadTimeout = kLookupReadTimeout;

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
  // "Retrive Auto IP".
  void RetriveAutoIP1Click() { StartMonitoring(); }

 private:
  TSession& Session_;
  TRaceBoard& Board_;
  TIdHTTP& Http_;
  TMessageBoxPort& Boxes_;
  TStartWindowPort& Window_;
  TWatcherChatPort& Chat_;
  TWatcherWindowPort& WatcherWindow_;
  std::string DirectoryBase_;
};

#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "monitor/LogFile.h"
#include "monitor/PassReading.h"
#include "monitor/ReconnectBackoff.h"
#include "monitor/WatcherPorts.h"
#include "platform/Thread.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// The log watcher: follows the game server's log pass by pass, keeps the race
// board, keeps the chat connection up and announces the status and the drivers
// in the chat room after every pass that found the log grown (or when a resend
// was asked for), then sleeps RefreshTime milliseconds.
//
// The creator calls Start(). A stop request is looked at before each pass; a
// pass, its connect and its sends always run to their end, and a stop asked for
// during the sleep takes effect when the sleep is over. The watcher ends by
// itself only when it cannot connect to the chat server, and then only when no
// new start has been asked of it (RequestStart) since its last pass began.
//
// With AUTORECONNECT set, a connect that fails ends nothing and shows no box:
// the lamp turns red, the passes go on reading the log, and the connect is
// tried again after the waits of TReconnectBackoff (a start request tries at
// once). The first pass after a successful connect announces, as after any
// new sign-on.
//
// The board and the session fields it shares with the window are touched only
// under the session's StateLock, and never while a port is called or the log is
// read: the window may show and edit the board during a long first pass.
class TTLog : public TThread {
 public:
  // file: the log access to use; the log on disk when none is given.
  // backoff: the waits between connects that fail; tests give it their clock.
  TTLog(TSession& session, TRaceBoard& board, TWatcherChatPort& chat, TWatcherWindowPort& window,
        std::unique_ptr<TLogFile> file = nullptr, TReconnectBackoff backoff = {});
  // Requests a stop and waits for the thread's end.
  ~TTLog() override;

  // True from Start() until the thread body has ended.
  bool Running() const { return !Finished(); }

  // "Reconnect to Chat" (or another start) while this watcher runs: it passes
  // again at once, cutting its sleep short, and a watcher that has failed to
  // connect goes on instead of ending. False when the watcher has already
  // decided to end (or never ran): the caller then waits for its end, which
  // follows at once, and starts a new one. Deciding to end and taking a start
  // request happen under one lock, so no request falls between the two.
  bool RequestStart();

  // One pass: read the log, keep the chat connection up, announce. False when
  // the watcher must end (the chat server could not be reached). The thread
  // body calls it; tests may call it on a watcher that was never started.
  bool Pass();

  // The pause after a pass: RefreshTime milliseconds, 5000 when it is negative.
  static int PauseAfterPass(int32_t refreshTime);

  // The "AUTO" addresses kept current (AUTORECONNECT with RECHECKAUTO): the
  // directory is asked again every intervalSeconds, and, with the chat server
  // "AUTO", before the next try once three connects in a row have failed
  // (then at most once an interval while they go on). An own address that
  // changed is announced at once; a chat server that moved is left ("/quit")
  // and the new one connected. A failed ask keeps what is in use. Called
  // before Start; clock: the test's, or the steady clock.
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  void EnableRechecks(std::unique_ptr<TWatcherDirectoryPort> directory, int intervalSeconds,
                      TClock clock = {});

 protected:
  void Execute() override;

 private:
  // Passes until a stop is asked for or a pass fails.
  void RunPasses();
  // Sleeps pause milliseconds, or until a start is asked for.
  void Sleep(int pause);
  // Takes a pending start request: the pass about to begin serves it, and
  // connects at once if it has to connect.
  void TakeStartRequest();
  // After the passes have ended: true when the watcher ends, false when a start
  // was asked for meanwhile and it goes on.
  bool DecideToEnd();
  bool ReadLog();
  // The journal's word on the log: it could not be opened or sized, or (after
  // such a pass, or having shrunk) it could.
  void LogTrouble(const std::string& path, const std::string& error);
  void LogReadable(int64_t size, int64_t lastSize);
  void ReadLines(int64_t offset, int64_t size);
  enum class TConnect {
    Connected,  // connected and signed on
    Waiting,    // not connected; tried again after a wait (AUTORECONNECT)
    Failed,     // not connected, the box shown: the watcher ends
  };
  TConnect ConnectStep();
  void Announce(const std::string& status, const std::string& drivers);
  // Asks the directory when a re-check is due and takes what changed; true
  // when the own address in use changed (announce at once).
  bool RecheckIfDue();

  TSession& Session_;
  TRaceBoard& Board_;
  TWatcherChatPort& Chat_;
  TWatcherWindowPort& Window_;
  std::unique_ptr<TLogFile> File_;
  // The caption asked for by the lines of this pass; the window gets it after the pass.
  TPassCaption Caption_;
  // Whether this pass could open and size the log.
  bool LogRead_ = false;
  // Used by the watcher's thread only.
  TReconnectBackoff Backoff_;
  // Whether the last pass was left without a connection, waiting to try again.
  bool Waiting_ = false;
  // The re-checks of the "AUTO" addresses; used by the watcher's thread only.
  std::unique_ptr<TWatcherDirectoryPort> Directory_;
  std::chrono::milliseconds RecheckInterval_{0};
  TClock RecheckClock_;
  std::chrono::steady_clock::time_point NextRecheck_;
  int FailuresInARow_ = 0;
  // The re-check after the third failure of this run of failures is made.
  bool FollowChecked_ = false;

  std::mutex StartLock_;
  std::condition_variable StartAsked_;
  bool StartRequested_ = false;  // guarded by StartLock_
  bool Ending_ = false;          // guarded by StartLock_
};

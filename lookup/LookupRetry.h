#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "lookup/DirectoryLookup.h"
#include "lookup/Http.h"
#include "monitor/ReconnectBackoff.h"
#include "platform/Thread.h"
#include "platform/UiBridge.h"
#include "session/Journal.h"

// The address lookup that runs by itself when AUTORECONNECT is set: on a
// thread of its own, so that the status window goes on answering while the
// directory is slow or away, and tried again after the waits of
// TReconnectBackoff until the directory answers with every value. Nothing is
// shown for a failure. The values found are handed to the user-interface
// thread, which stores them and starts the watcher; then the thread ends.
//
// Owned by the start sequence on the user-interface thread, which stops it
// before it looks up itself ("Retrive Auto IP") and in StopAll.
class TLookupRetry final : public TThread {
 public:
  struct TPlan {
    std::string Url;
    bool LocalAuto = false;
    bool ChatAuto = false;
    TLookupLimits Limits{};
    int64_t FirstWait = 0;    // ms: the pause between the watcher's passes
    int64_t LongestWait = 0;  // ms: AUTORECONNECT
    // The first try waits the first wait too: a lookup has just failed.
    bool WaitFirst = false;
    // Where every try's outcome is told; none: nowhere.
    TJournal* Journal = nullptr;
  };
  // Runs on the user-interface thread with the values found, the port already
  // a number; never after Stop().
  using TFound = std::function<void(const TDirectoryReply& reply, int32_t port)>;

  // Starts running at once.
  TLookupRetry(TPlan plan, TUiBridge& ui, TFound found, TReconnectBackoff backoff = {});
  // Stops and waits; on the user-interface thread the wait serves handovers.
  ~TLookupRetry() override;

  // Ends the waits and gives up a GET in progress within a wait slice; the
  // values of a try that is just being handed over are dropped.
  void Stop();
  // Tries at once instead of waiting out the current wait.
  void TryNow();

 protected:
  void Execute() override;

 private:
  // One try; true when the values were handed over.
  bool Try();
  // Waits until the next try is due; false when stopped.
  bool WaitForTry();

  TPlan Plan_;
  TUiBridge& Ui_;
  TFound Found_;
  // The thread's own client: the window's stays free for "Retrive Auto IP"
  // on the user-interface thread.
  TIdHTTP Http_;

  std::mutex Lock_;
  std::condition_variable Woken_;
  TReconnectBackoff Backoff_;  // guarded by Lock_
};

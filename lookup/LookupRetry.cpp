#include "lookup/LookupRetry.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "lookup/LookupJournal.h"
#include "lookup/StartSequence.h"
#include "session/IntConv.h"

TLookupRetry::TLookupRetry(TPlan plan, TUiBridge& ui, TFound found, TReconnectBackoff backoff)
    : Plan_(std::move(plan)), Ui_(ui), Found_(std::move(found)), Backoff_(std::move(backoff)) {
  // A stop must not wait for a connect or a read to run out: they look at the
  // stop request every slice of their waits.
  Http_.Abandon = [this] { return Terminated(); };
  if (Plan_.WaitFirst) Backoff_.Failed(Plan_.FirstWait, Plan_.LongestWait);
  Start();
}

TLookupRetry::~TLookupRetry() {
  Stop();
  if (IsCurrentThread()) return;
  if (Ui_.OnUiThread())
    Ui_.ServeUntilFinished(*this);
  else
    WaitFor();
}

void TLookupRetry::Stop() {
  {
    std::lock_guard<std::mutex> lock(Lock_);
    Terminate();
  }
  Woken_.notify_all();
}

void TLookupRetry::TryNow() {
  {
    std::lock_guard<std::mutex> lock(Lock_);
    Backoff_.TryNow();
  }
  Woken_.notify_all();
}

void TLookupRetry::Execute() {
  while (WaitForTry()) {
    if (Try()) return;
  }
}

bool TLookupRetry::WaitForTry() {
  std::unique_lock<std::mutex> lock(Lock_);
  // The backoff's clock may be the test's: the wait is cut into short looks
  // so that a clock moved from outside is noticed without a notification.
  constexpr int64_t kLookMs = 100;
  while (!Terminated() && !Backoff_.Due()) {
    const int64_t wait = std::min(Backoff_.MillisecondsToNext(), kLookMs);
    Woken_.wait_for(lock, std::chrono::milliseconds(wait));
  }
  return !Terminated();
}

bool TLookupRetry::Try() {
  TDirectoryReply reply;
  int32_t port = 0;
  const TLookupOutcome outcome =
      AskDirectory(Http_, Plan_.Url, Plan_.LocalAuto, Plan_.ChatAuto, Plan_.Limits, reply);
  bool found = outcome == TLookupOutcome::Found;
  // A port that is not a number is a bad answer like any other here: the next
  // try may get a good one.
  if (found && Plan_.ChatAuto) found = TryStrToInt(reply.ChatPortText, port);
  // A try given up by the stop is no failure of the directory's.
  if (Plan_.Journal && !Terminated()) {
    if (found)
      JournalLookupAnswer(*Plan_.Journal, reply, Plan_.LocalAuto, Plan_.ChatAuto);
    else
      JournalLookupFailure(*Plan_.Journal, outcome == TLookupOutcome::Busy ? kDirectoryBusyMessage
                                           : outcome == TLookupOutcome::NoAnswer
                                               ? kLookupFailedMessage
                                               : EConvertError(reply.ChatPortText).what());
  }
  if (found) {
    // Stop() runs on the user-interface thread too, so the two cannot cross:
    // a lookup stopped before this call runs hands nothing over.
    Ui_.Send([&] {
      if (!Terminated()) Found_(reply, port);
    });
    return true;
  }
  std::lock_guard<std::mutex> lock(Lock_);
  Backoff_.Failed(Plan_.FirstWait, Plan_.LongestWait);
  return false;
}

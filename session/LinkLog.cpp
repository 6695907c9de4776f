#include "session/LinkLog.h"

#include "session/JournalText.h"

namespace {
const char kConnectRun[] = "connect";

std::string Target(const std::string& host, int port) {
  return host + ":" + std::to_string(port);
}
}  // namespace

void TLinkLog::SignedOn(const std::string& host, int port, const std::string& name) {
  std::lock_guard<std::mutex> lock(Lock_);
  const TJournal::TFoldEnd failures = Journal_.EndFold(kConnectRun);
  std::string text = "signed on at " + Target(host, port) + " as " + name;
  if (Down_ || failures.Count > 0) {
    const int tries = failures.Count + 1;
    const long long down =
        Down_
            ? std::chrono::duration_cast<std::chrono::seconds>(Journal_.Now() - DownSince_).count()
            : failures.SecondsSince;
    text += " (after " + std::to_string(tries) + (tries == 1 ? " try" : " tries") + ", down " +
            Duration(down) + ")";
  }
  Journal_.Write("SIGNON", text);
  Up_ = true;
  Down_ = false;
  Target_ = Target(host, port);
}

void TLinkLog::ConnectFailed(const std::string& host, int port, const std::string& reason,
                             long long nextWaitMs) {
  std::lock_guard<std::mutex> lock(Lock_);
  TJournal::TFold run;
  run.Key = kConnectRun;
  run.Word = "FAIL";
  run.Text = "connect to " + Target(host, port) + " failed: " + reason;
  run.StillLead = "still failing";
  run.Noun = "tries";
  if (nextWaitMs >= 0) run.Detail = ", next in " + std::to_string((nextWaitMs + 999) / 1000) + " s";
  Journal_.Fold(run);
}

void TLinkLog::Lost(const std::string& reason) {
  std::lock_guard<std::mutex> lock(Lock_);
  if (!Up_) return;
  Up_ = false;
  Down_ = true;
  DownSince_ = Journal_.Now();
  Journal_.Write("LOST", "link to " + Target_ + " lost: " + reason);
}

void TLinkLog::Left() {
  std::lock_guard<std::mutex> lock(Lock_);
  Up_ = false;
}

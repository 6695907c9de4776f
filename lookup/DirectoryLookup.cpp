#include "lookup/DirectoryLookup.h"

#include <chrono>
#include <exception>

#include "lookup/Http.h"

namespace {

// The lookup's bounds hold for one GET only: the client keeps its own settings
// (no read time-out, no deadline) for anything else.
class TLookupScope {
 public:
  TLookupScope(TIdHTTP& http, const TLookupLimits& limits)
      : Http_(http), SavedTimeout_(http.ReadTimeout) {
    Http_.ReadTimeout = limits.ReadTimeout;
    Http_.SetDeadline(std::chrono::steady_clock::now() +
                      std::chrono::milliseconds(limits.Deadline));
  }
  ~TLookupScope() {
    Http_.ReadTimeout = SavedTimeout_;
    Http_.ClearDeadline();
  }
  TLookupScope(const TLookupScope&) = delete;
  TLookupScope& operator=(const TLookupScope&) = delete;

 private:
  TIdHTTP& Http_;
  int SavedTimeout_;
};

}  // namespace

TLookupOutcome AskDirectory(TIdHTTP& http, const std::string& url, bool LocalAuto, bool ChatAuto,
                            const TLookupLimits& limits, TDirectoryReply& reply) {
  std::string body;
  try {
    TLookupScope scope(http, limits);
    body = http.FetchUrl(url);
  } catch (const std::exception&) {
    // Name lookup, connect, transfer, time-out or a refused status: to the
    // user they are all the same missing Internet connection.
    return TLookupOutcome::NoAnswer;
  }
  if (http.LastStatusCode() != 200) return TLookupOutcome::Busy;
  // Every key is looked for before anything is stored, so a reply cut short
  // by a busy script leaves the settings' values in place.
  if (!ReadDirectoryReply(body, LocalAuto, ChatAuto, reply)) return TLookupOutcome::Busy;
  return TLookupOutcome::Found;
}

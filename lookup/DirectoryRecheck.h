#pragma once

#include <functional>
#include <string>

#include "lookup/DirectoryLookup.h"
#include "lookup/Http.h"
#include "monitor/WatcherPorts.h"
#include "session/Journal.h"

// The directory as the log watcher asks it again for the "AUTO" addresses
// (AUTORECONNECT with RECHECKAUTO): the same request as at the start, for the
// same keys, with an HTTP client of its own on the watcher's thread, within
// the lookup's bounds. Every answer and failure goes to the journal; nothing
// is shown.
class TDirectoryRecheck final : public TWatcherDirectoryPort {
 public:
  TDirectoryRecheck(std::string url, bool localAuto, bool chatAuto, TLookupLimits limits,
                    TJournal& journal);
  bool Ask(const std::function<bool()>& abandon, TLookedUp& found) override;

 private:
  std::string Url_;
  bool LocalAuto_;
  bool ChatAuto_;
  TLookupLimits Limits_;
  TJournal& Journal_;
  TIdHTTP Http_;
};

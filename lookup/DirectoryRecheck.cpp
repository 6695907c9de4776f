#include "lookup/DirectoryRecheck.h"

#include <utility>

#include "lookup/LookupJournal.h"
#include "lookup/StartSequence.h"
#include "session/IntConv.h"

TDirectoryRecheck::TDirectoryRecheck(std::string url, bool localAuto, bool chatAuto,
                                     TLookupLimits limits, TJournal& journal)
    : Url_(std::move(url)),
      LocalAuto_(localAuto),
      ChatAuto_(chatAuto),
      Limits_(limits),
      Journal_(journal) {}

bool TDirectoryRecheck::Ask(const std::function<bool()>& abandon, TLookedUp& found) {
  Http_.Abandon = abandon;
  TDirectoryReply reply;
  const TLookupOutcome outcome = AskDirectory(Http_, Url_, LocalAuto_, ChatAuto_, Limits_, reply);
  Http_.Abandon = nullptr;
  // Given up by the watcher's stop: no failure of the directory's.
  if (abandon && abandon()) return false;
  int32_t port = 0;
  if (outcome == TLookupOutcome::Found && ChatAuto_ && !TryStrToInt(reply.ChatPortText, port)) {
    JournalLookupFailure(Journal_, EConvertError(reply.ChatPortText).what());
    return false;
  }
  if (outcome != TLookupOutcome::Found) {
    JournalLookupFailure(
        Journal_, outcome == TLookupOutcome::Busy ? kDirectoryBusyMessage : kLookupFailedMessage);
    return false;
  }
  JournalLookupAnswer(Journal_, reply, LocalAuto_, ChatAuto_);
  found.Chat = ChatAuto_;
  found.ChatServerAddress = reply.ChatServerAddress;
  found.ChatPort = port;
  found.Local = LocalAuto_;
  found.LocalAddress = reply.LocalAddress;
  return true;
}

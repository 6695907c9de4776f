#include "lookup/LookupJournal.h"

#include "session/JournalText.h"

namespace {
const char kFailureRun[] = "lookup";
}  // namespace

void JournalLookupAnswer(TJournal& journal, const TDirectoryReply& reply, bool localAuto,
                         bool chatAuto) {
  std::string text = "directory answered:";
  if (chatAuto) text += " chat server " + reply.ChatServerAddress + ":" + reply.ChatPortText;
  if (localAuto) text += std::string(chatAuto ? "," : "") + " own address " + reply.LocalAddress;
  const TJournal::TFoldEnd failures = journal.EndFold(kFailureRun);
  if (failures.Count > 0)
    text += " (after " + std::to_string(failures.Count) + " failed since " +
            ClockTime(failures.Since) + ")";
  journal.Write("LOOKUP", text);
}

void JournalLookupFailure(TJournal& journal, const std::string& why) {
  TJournal::TFold run;
  run.Key = kFailureRun;
  run.Word = "LOOKUP";
  run.Text = "failed: " + why;
  run.StillLead = "still failing";
  run.Noun = "tries";
  run.Detail = ", last: " + why;
  journal.Fold(run);
}

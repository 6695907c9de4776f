#pragma once

#include <string>

#include "lookup/DirectoryReply.h"
#include "session/Journal.h"

// The journal's LOOKUP lines: every answer of the directory, and every
// failure, a run of them folded into one line every ten minutes (a directory
// that stays away while the lookup tries every few seconds).

// The values asked for, as the directory gave them; ends a run of failures.
void JournalLookupAnswer(TJournal& journal, const TDirectoryReply& reply, bool localAuto,
                         bool chatAuto);
// why: the failure's message, as the box says it (or would, with AUTORECONNECT).
void JournalLookupFailure(TJournal& journal, const std::string& why);

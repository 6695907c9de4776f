#pragma once

#include <functional>
#include <string>

#include "session/Journal.h"
#include "session/Settings.h"

// Runs a dialog's save and tells the journal what it wrote to Brennak.ini
// ("Track: TRK1..TRK8"), or why it wrote nothing; a check that stopped the
// save has its own box, and the journal hears of that as a box. The save's
// result and errors pass through. dialog: "Connection", "Track" or "Car";
// written: the keys as the line names them, asked after a save that wrote.
TSaveResult JournalSave(TJournal* journal, const std::string& dialog,
                        const std::function<TSaveResult()>& save,
                        const std::function<std::string()>& written);

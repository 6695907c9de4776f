#include "session/SaveJournal.h"

#include <exception>

TSaveResult JournalSave(TJournal* journal, const std::string& dialog,
                        const std::function<TSaveResult()>& save,
                        const std::function<std::string()>& written) {
  TSaveResult result;
  try {
    result = save();
  } catch (const std::exception& e) {
    if (journal) journal->Write("SAVE", dialog + ": " + e.what());
    throw;
  }
  if (!journal) return result;
  if (result == TSaveResult::Saved) journal->Write("SAVE", dialog + ": " + written());
  if (result == TSaveResult::SettingsMissing)
    journal->Write("SAVE", dialog + ": " + kSettingsMissingText);
  return result;
}

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// The game server's configuration file, looked up in the working directory (not
// in the controller's own folder).
inline constexpr const char* kSettingsPath = "./Brennak.ini";
// The copy of everything the chat server sends, emptied at each start.
inline constexpr const char* kResponsePath = "./response.txt";
// Where the copy goes when it is full, replacing the one before; start-up
// leaves it alone. In the room every server's lines reach every member, about
// 270 MB a day with a hundred servers: unbounded, the copy would fill the game
// server's disk in weeks.
inline constexpr const char* kResponseOldPath = "./response.old.txt";
inline constexpr uint64_t kResponseMaxBytes = 16 * 1024 * 1024;
// The operator's journal ([SERVER] JOURNAL=1), kept across starts, and where
// it goes when full.
inline constexpr const char* kJournalPath = "./orvane.log";
inline constexpr const char* kJournalOldPath = "./orvane.old.log";
inline constexpr const char* kSettingsMissingText =
    "ORVANE installed not correctly: brennak.ini not found.";

// "Cannot find file <path>. Strakon Dedicate Server shutdown?"
std::string LogMissingText(const std::string& logPath);

// The key's text read with an empty default and converted as settings integers
// are (session/IntConv.h); def when the key is missing, empty or not a number.
int32_t ReadIntValue(const TIniFile& ini, const std::string& section, const std::string& key,
                     int32_t def);

// Reads every setting from kSettingsPath into session, with the fall-backs of
// the game server's defaults for missing keys. When the settings file or the
// log file it names is missing, shows why through messages and returns false;
// the controller then ends. Runs before any thread of the session starts.
bool LoadSettings(TSession& session, TMessageBoxPort& messages);

// The start-of-session values: the board shows no race, the watcher starts from
// the beginning of the log with no server name, and kResponsePath is created or
// emptied as session.ResponseLog, bounded to kResponseMaxBytes. Throws
// EInOutError with the platform's text when the response file cannot be
// created; the caller shows it and the start stops there.
void InitSession(TSession& session, TRaceBoard& board);

// How a save of an option dialog ended.
enum class TSaveResult {
  // Every key was written; the dialog closes with OK.
  Saved,
  // The settings file is gone: the not-found message was shown and nothing was
  // written. The dialog closes with OK all the same.
  SettingsMissing,
  // A check of the dialog stopped the save; the dialog stays open. Keys written
  // before the check stay written.
  Stopped,
};

// The Car dialog's save: [CAR] CAR01..CAR13 in that order, as typed (empty names
// are written as empty values). A failed write throws EIniFileException and the
// keys after it are not written.
TSaveResult SaveCarNames(const std::array<std::string, 13>& names, TMessageBoxPort& messages);

// The Track dialog's save: [TRACK] TRK1..TRK8 in that order, as typed.
TSaveResult SaveTrackNames(const TTrackList& names, TMessageBoxPort& messages);

// The Connection dialog's two steps, which run only when the settings file
// exists. Each returns the text to write, or nullopt to stop the save there.
struct TConnectionSave {
  // Checks the own-address choice (showing its own messages) and gives the
  // [SERVER] MYIP value: "AUTO", a checked address or a host name.
  std::function<std::optional<std::string>()> LocalValue;
  // Runs after MYIP has been written: checks the port (showing its own
  // messages) and gives the [SERVER] IPADDRCHATSERVER value. When it stops the
  // save, the new MYIP stays in the file. The port itself is never written.
  std::function<std::optional<std::string>()> ChatValue;
};

// The Connection dialog's save. A failed write throws EIniFileException and the
// steps after it do not run.
TSaveResult SaveConnection(const TConnectionSave& steps, TMessageBoxPort& messages);

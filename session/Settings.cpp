#include "session/Settings.h"

#include <algorithm>

#include "platform/SharedFile.h"
#include "session/IntConv.h"

namespace {

// The whole value against fixed words, byte for byte: "arcade" or "Long" are
// other words and give 0.
int32_t WordIndex(const std::string& value, std::initializer_list<const char*> words) {
  int32_t index = 0;
  for (const char* word : words) {
    if (value == word) return index;
    ++index;
  }
  return 0;
}

const char* const kDefaultTrackNames[8] = {"Torvane",      "Gull Point",  "Ambermoor",
                                           "Dusk Plateau", "Fern Hollow", "Tower Heath",
                                           "Caddock",      "Ostvik"};

std::string TwoDigits(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

// Every save starts the same way: without the settings file nothing is written,
// and the user is told the installation is broken. A directory of that name is
// no settings file.
bool SettingsFilePresent(TMessageBoxPort& messages) {
  if (FileExists(kSettingsPath)) return true;
  messages.ShowMessage(kSettingsMissingText);
  return false;
}

}  // namespace

std::string LogMissingText(const std::string& logPath) {
  return "Cannot find file " + logPath + ". Strakon Dedicate Server shutdown?";
}

int32_t ReadIntValue(const TIniFile& ini, const std::string& section, const std::string& key,
                     int32_t def) {
  return StrToIntDef(ini.ReadValue(section, key, ""), def);
}

bool LoadSettings(TSession& session, TMessageBoxPort& messages) {
  if (!FileExists(kSettingsPath)) {
    messages.ShowMessage(kSettingsMissingText);
    return false;
  }
  TIniFile ini(kSettingsPath);
  session.LogPath = ini.ReadValue("FILE", "LOG", "C:\\log.log");
  if (!FileExists(session.LogPath)) {
    messages.ShowMessage(LogMissingText(session.LogPath));
    return false;
  }
  session.DefaultRealism = WordIndex(ini.ReadValue("DEFAULT", "REALISM", "ARCADE"),
                                     {"ARCADE", "INTERMEDIATE", "SIMULATION"});
  session.DefaultRaceLength = WordIndex(ini.ReadValue("DEFAULT", "RECELENGTH", "SHORT"),
                                        {"SPRINT", "SHORT", "LONG", "INSANE"});
  session.DefaultAIStrength =
      WordIndex(ini.ReadValue("DEFAULT", "AISTRENGTH", "EASY"), {"EASY", "INTERMEDIATE", "HARD"});
  session.DefaultAICount = ini.ReadValue("DEFAULT", "AINUMBER", "0");
  session.DefaultDamage = ini.ReadValue("DEFAULT", "DAMAGE", "N") == "Y";
  session.DefaultReverse = ini.ReadValue("DEFAULT", "REVERSE", "N") == "Y";
  session.DefaultTrack = ReadIntValue(ini, "DEFAULT", "TRK", 8);
  for (int n = 1; n <= 8; ++n)
    session.TrackNames[n - 1] =
        ini.ReadValue("TRACK", "TRK" + std::to_string(n), kDefaultTrackNames[n - 1]);
  for (int n = 1; n <= 13; ++n)
    session.CarNames[n - 1] = ini.ReadValue("CAR", "CAR" + TwoDigits(n), "");
  session.RefreshTime = ReadIntValue(ini, "DEFAULT", "REFRESHTIME", 5000);
  session.ChatServerAddress = ini.ReadValue("SERVER", "IPADDRCHATSERVER", "127.0.0.1");
  session.LocalAddress = ini.ReadValue("SERVER", "MYIP", "127.0.0.1");
  session.ChatPort = ReadIntValue(ini, "DEFAULT", "PORT", 7777);
  // Missing, empty, not a number, 0 or negative: off.
  session.AutoReconnect = std::max(0, ReadIntValue(ini, "SERVER", "AUTORECONNECT", 0));
  // Missing or empty: every 15 minutes; 0, negative or not a number: never.
  {
    const std::string recheck = ini.ReadValue("SERVER", "RECHECKAUTO", "");
    int32_t seconds = 0;
    session.RecheckAuto = recheck.empty()                                ? 900
                          : TryStrToInt(recheck, seconds) && seconds > 0 ? seconds
                                                                         : 0;
  }
  // Exactly "1": missing, empty, 0 or any other text keeps the journal off.
  session.KeepJournal = ini.ReadValue("SERVER", "JOURNAL", "") == "1";
  session.ChatAuto = session.ChatServerAddress == "AUTO";
  session.LocalAuto = session.LocalAddress == "AUTO";
  return true;
}

void InitSession(TSession& session, TRaceBoard& board) {
  {
    std::lock_guard<std::mutex> lock(session.StateLock);
    board.SetInRace(false);
    session.LastLogSize = -1;
    session.ReadOffset = 0;
    session.ServerName.clear();
    session.CurrentRealism = 0;
    session.ResendRequested = false;
  }
  session.ResponseLog.SetRotation(kResponseOldPath, kResponseMaxBytes);
  session.ResponseLog.Rewrite(kResponsePath);
}

TSaveResult SaveCarNames(const std::array<std::string, 13>& names, TMessageBoxPort& messages) {
  if (!SettingsFilePresent(messages)) return TSaveResult::SettingsMissing;
  TIniFile ini(kSettingsPath);
  for (int n = 1; n <= 13; ++n) ini.WriteValue("CAR", "CAR" + TwoDigits(n), names[n - 1]);
  return TSaveResult::Saved;
}

TSaveResult SaveTrackNames(const TTrackList& names, TMessageBoxPort& messages) {
  if (!SettingsFilePresent(messages)) return TSaveResult::SettingsMissing;
  TIniFile ini(kSettingsPath);
  for (int n = 1; n <= 8; ++n) ini.WriteValue("TRACK", "TRK" + std::to_string(n), names[n - 1]);
  return TSaveResult::Saved;
}

TSaveResult SaveConnection(const TConnectionSave& steps, TMessageBoxPort& messages) {
  if (!SettingsFilePresent(messages)) return TSaveResult::SettingsMissing;
  TIniFile ini(kSettingsPath);
  std::optional<std::string> local = steps.LocalValue();
  if (!local) return TSaveResult::Stopped;
  ini.WriteValue("SERVER", "MYIP", *local);
  std::optional<std::string> chat = steps.ChatValue();
  if (!chat) return TSaveResult::Stopped;
  ini.WriteValue("SERVER", "IPADDRCHATSERVER", *chat);
  return TSaveResult::Saved;
}

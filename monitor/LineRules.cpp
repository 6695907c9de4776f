#include "monitor/LineRules.h"

#include "session/IntConv.h"
#include "session/StrUtils.h"

namespace {

// The first word of the list that the line contains decides; -1 when none.
template <size_t N>
int FirstWordIn(const std::string& line, const char* const (&words)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (Str::Contains(line, words[i])) return static_cast<int>(i);
  return -1;
}

const char* const kRealismWords[] = {"arcade", "intermediate realism", "simulation"};
const char* const kTrackDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8"};
const char* const kRaceTypeWords[] = {"sprint", "short", "long", "insane"};
const char* const kAIWords[] = {"easy ai", "intermediate ai", "hard ai"};
const char* const kDamageWords[] = {"damage off", "damage on"};
const char* const kReverseWords[] = {"forward", "reversed"};

const char kUserConnected[] = "Server: User Connected:";
const char kLatencyFor[] = "latency for";

}  // namespace

int SlotRow(const std::string& line, int at) {
  int32_t digit = 0;
  if (!TryStrToInt(Str::Copy(line, at, 1), digit)) return -1;
  return digit < TRaceBoard::kDriverRows ? digit : -1;
}

bool TLineRules::TakeCaption(std::string& caption) {
  if (!CaptionPending_) return false;
  caption = Caption_;
  CaptionPending_ = false;
  return true;
}

void TLineRules::Apply(std::string& line, unsigned words) {
  if ((words & kWordSync) && Str::Contains(line, "Server: SYNC: 2way:")) Board_.InRace = true;
  if ((words & kWordSingleton) && Str::Contains(line, "Server: Singleton player reset."))
    Board_.InRace = false;
  if ((words & kWordCreated) && Str::Contains(line, "created, running...")) ServerCreated(line);
  if (words & kWordChanging) SettingChanged(line);
  if (words & kWordUser) {
    if (Str::Contains(line, kUserConnected)) UserConnected(line);
    if (Str::Contains(line, "Server: User")) ClearRow(line, Str::Pos("(", line) + 1);
  }
  if ((words & kWordDisconnecting) && Str::Contains(line, "Server: Disconnecting"))
    ClearRow(line, Str::Pos("(", line) - 2);
  if ((words & kWordLatency) && Str::Contains(line, kLatencyFor)) LatencyReported(line);
}

// The line becomes the server's name, the text between its first two quotes.
void TLineRules::ServerCreated(std::string& line) {
  Str::Delete(line, 1, Str::Pos("\"", line));
  Str::Delete(line, Str::Pos("\"", line), static_cast<int>(line.size()));
  Caption_ = "Server Status: " + line;
  CaptionPending_ = true;
  Session_.ServerName = "_" + Str::BlanksToUnderscores(line);
}

// Rules 4 to 10: settings changed by the server's chat commands. None of them
// changes the line.
void TLineRules::SettingChanged(const std::string& line) {
  int i;
  if (Str::Contains(line, "chat: Changing realism to") &&
      (i = FirstWordIn(line, kRealismWords)) >= 0)
    Session_.CurrentRealism = i;
  if (Str::Contains(line, "chat: Changing track") && (i = FirstWordIn(line, kTrackDigits)) >= 0)
    Board_.SelectTrack(i, Session_.TrackNames);
  if (Str::Contains(line, "chat: Changing race_type") &&
      (i = FirstWordIn(line, kRaceTypeWords)) >= 0)
    Board_.SetRaceLength(i);
  if (Str::Contains(line, "chat: Changing ai_strength") && (i = FirstWordIn(line, kAIWords)) >= 0)
    Board_.SetAIStrength(i);
  if (Str::Contains(line, "chat: Changing ai car count"))
    Board_.AICount = line.substr(line.size() - 1);
  if (Str::Contains(line, "chat: Changing damage_on") && (i = FirstWordIn(line, kDamageWords)) >= 0)
    Board_.Damage = i == 1;
  if (Str::Contains(line, "chat: Changing is_reversed") &&
      (i = FirstWordIn(line, kReverseWords)) >= 0)
    Board_.Reverse = i == 1;
}

// Rule 11. The trigger's length is cut from the front of the line wherever the
// trigger stands, so the rule after it no longer sees "Server: User" when the
// trigger opened the line.
void TLineRules::UserConnected(std::string& line) {
  Str::Delete(line, 1, static_cast<int>(sizeof kUserConnected - 1));
  int paren = Str::Pos("(", line);
  int row = SlotRow(line, paren + 1);
  if (row < 0) return;
  TDriverRow& driver = Board_.Drivers[static_cast<size_t>(row)];
  driver.Slot = Str::Copy(line, paren + 1, 1);
  driver.Name = Str::Trim(Str::Copy(line, 1, paren - 2));
  driver.Address = Str::Trim(Str::Copy(line, Str::Pos("@", line) + 2, 16));
}

// Rules 12 and 13: a player left; the slot character sits at digitAt.
void TLineRules::ClearRow(const std::string& line, int digitAt) {
  int row = SlotRow(line, digitAt);
  if (row < 0) return;
  TDriverRow& driver = Board_.Drivers[static_cast<size_t>(row)];
  driver.Slot.clear();
  driver.Name.clear();
  driver.Address.clear();
  driver.Latency.clear();
}

// Rule 14: "latency for NAME is N". The second cut counts from the untrimmed
// line: a blank, the name, a blank and "is".
void TLineRules::LatencyReported(std::string& line) {
  Str::Delete(line, 1, static_cast<int>(sizeof kLatencyFor - 1));
  std::string name = Str::Trim(Str::Copy(line, 1, Str::Pos(" is ", line) - 1));
  int row = -1;
  for (int r = 0; r < TRaceBoard::kDriverRows && row < 0; ++r)
    if (Board_.Drivers[static_cast<size_t>(r)].Name == name) row = r;
  Str::Delete(line, 1, static_cast<int>(name.size()) + 4);
  if (row >= 0) Board_.Drivers[static_cast<size_t>(row)].Latency = Str::Trim(line);
}

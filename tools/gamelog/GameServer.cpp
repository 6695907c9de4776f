#include "tools/gamelog/GameServer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

const char* const kNames[] = {"Bob",     "Big Al", "Kestrel", "Mara",  "Dutch",   "Vix",
                              "Old Tom", "Jonas",  "Pia",     "Rook",  "Sly Fox", "Tanya",
                              "Gerrit",  "Nadia",  "Moss",    "Quinn", "Lotte",   "Ferro"};
const char* const kRealism[] = {"arcade", "intermediate realism", "simulation"};
const char* const kRealismWords[] = {"ARCADE", "INTERMEDIATE", "SIMULATION"};
const char* const kRaceTypes[] = {"sprint", "short", "long", "insane"};
const int kRaceLaps[] = {1, 3, 8, 20};
const char* const kAi[] = {"easy ai", "intermediate ai", "hard ai"};
const char* const kSmallTalk[] = {"gg",          "nice race", "lag?",        "one more",
                                  "brb",         "who's in?", "go go go",    "sorry, my bad",
                                  "next track?", "ready",     "wait for me", "lol"};
const char* const kClanTags[] = {"[GP]", "[RX]", "{NRT}", "=MS="};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace

TGameServer::TGameServer(std::string name, uint32_t seed) : Name_(std::move(name)), Random_(seed) {
  FreeNames_.assign(std::begin(kNames), std::end(kNames));
}

int TGameServer::Pick(int count) {
  return std::uniform_int_distribution<int>(0, count - 1)(Random_);
}

bool TGameServer::Chance(int percent) {
  return Pick(100) < percent;
}

int TGameServer::PresentCount() const {
  int n = 0;
  for (const TPlayer& p : Slots_) n += p.Present ? 1 : 0;
  return n;
}

int TGameServer::RandomPresentSlot() {
  std::vector<int> present;
  for (int s = 0; s < 8; ++s)
    if (Slots_[s].Present) present.push_back(s);
  return present.empty() ? -1
                         : present[static_cast<size_t>(Pick(static_cast<int>(present.size())))];
}

std::vector<std::string> TGameServer::StartUp() {
  for (TPlayer& p : Slots_) p = TPlayer();
  FreeNames_.assign(std::begin(kNames), std::end(kNames));
  InRace_ = false;
  Lap_ = 0;
  Laps_ = kRaceLaps[1];
  Realism_ = 0;
  return {"Strakon Dedicated Server 1.12 (build 4471)",
          "Loading tracks... 8 found",
          "Loading cars... 13 found",
          "net: listening on UDP port 2300",
          Format("Server: Session \"%s\" created, running...", Name_.c_str()),
          Format("chat: Changing track to %d", Track_ + 1),
          "chat: Changing realism to arcade",
          "chat: Changing race_type to short",
          "chat: Changing ai_strength to easy ai",
          "chat: Changing ai car count to 0",
          "chat: Changing damage_on to damage off",
          "chat: Changing is_reversed to forward"};
}

std::string TGameServer::Connect() {
  int slot = -1;
  for (int s = 0; s < 8 && slot < 0; ++s)
    if (!Slots_[s].Present) slot = s;
  if (slot < 0 || (RuleShare_ < 0 && FreeNames_.empty())) return Chatter();
  TPlayer& p = Slots_[static_cast<size_t>(slot)];
  p.Name = TakeName();
  p.Present = true;
  p.Address =
      Format("%d.%d.%d.%d:%d", 10 + Pick(180), Pick(256), Pick(256), 1 + Pick(254), 2300 + Pick(4));
  p.Latency = 20 + Pick(200);
  return Format("Server: User Connected: %s (%d) @ %s", p.Name.c_str(), slot, p.Address.c_str());
}

// A name for a player who joins: one of the evening's regulars, or, with a
// rule share, one made up from them that no present player has.
std::string TGameServer::TakeName() {
  if (RuleShare_ < 0) {
    size_t at = static_cast<size_t>(Pick(static_cast<int>(FreeNames_.size())));
    std::string name = FreeNames_[at];
    FreeNames_.erase(FreeNames_.begin() + static_cast<long>(at));
    return name;
  }
  constexpr int kNameCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
  for (;;) {
    std::string name = kNames[Pick(kNameCount)];
    switch (Pick(4)) {
      case 1:
        name += std::to_string(Pick(100));
        break;
      case 2:
        name = std::string(kClanTags[Pick(4)]) + " " + name;
        break;
      case 3:
        name += std::string("_") + kNames[Pick(kNameCount)];
        break;
      default:
        break;
    }
    bool taken = false;
    for (const TPlayer& other : Slots_) taken = taken || (other.Present && other.Name == name);
    if (!taken) return name;
  }
}

std::string TGameServer::Leave() {
  int slot = RandomPresentSlot();
  if (slot < 0) return Chatter();
  TPlayer& p = Slots_[static_cast<size_t>(slot)];
  p.Present = false;
  if (RuleShare_ < 0) FreeNames_.push_back(p.Name);
  if (Chance(70)) return Format("Server: User Disconnected: %s (%d)", p.Name.c_str(), slot);
  return Format("Server: Disconnecting client %d (connection timed out)", slot);
}

std::string TGameServer::Latency() {
  int slot = RandomPresentSlot();
  if (slot < 0) return Chatter();
  TPlayer& p = Slots_[static_cast<size_t>(slot)];
  p.Latency = std::max(5, p.Latency + Pick(41) - 20);
  return Format("latency for %s is %d", p.Name.c_str(), p.Latency);
}

std::string TGameServer::SettingChange() {
  switch (Pick(7)) {
    case 0:
      Realism_ = Pick(3);
      return Format("chat: Changing realism to %s", kRealism[Realism_]);
    case 1:
      Track_ = Pick(8);
      return Format("chat: Changing track to %d", Track_ + 1);
    case 2: {
      int type = Pick(4);
      Laps_ = kRaceLaps[type];
      return Format("chat: Changing race_type to %s", kRaceTypes[type]);
    }
    case 3:
      return Format("chat: Changing ai_strength to %s", kAi[Pick(3)]);
    case 4:
      return Format("chat: Changing ai car count to %d", Pick(8));
    case 5:
      return Format("chat: Changing damage_on to damage %s", Chance(50) ? "on" : "off");
    default:
      return Format("chat: Changing is_reversed to %s", Chance(50) ? "forward" : "reversed");
  }
}

std::string TGameServer::RaceStart() {
  InRace_ = true;
  Lap_ = 1;
  return Format("Server: SYNC: 2way: %d clients ready, race starts", PresentCount());
}

std::string TGameServer::RaceEnd() {
  InRace_ = false;
  return "Server: Singleton player reset.";
}

std::string TGameServer::RaceEvent() {
  if (!InRace_) return RaceStart();
  int slot = RandomPresentSlot();
  if (Lap_ > Laps_ || slot < 0) return RaceEnd();
  return LapTime(slot);
}

std::string TGameServer::LapTime(int slot) {
  const TPlayer& p = Slots_[static_cast<size_t>(slot)];
  if (Chance(30)) ++Lap_;
  return Format("Lap %d/%d: %s %d:%02d.%03d", Lap_, Laps_, p.Name.c_str(), 1 + Pick(2), Pick(60),
                Pick(1000));
}

std::string TGameServer::Chatter() {
  int slot = RandomPresentSlot();
  switch (Pick(9)) {
    case 0:
      if (slot >= 0)
        return Format("chat: %s: %s", Slots_[static_cast<size_t>(slot)].Name.c_str(),
                      kSmallTalk[Pick(12)]);
      return "Server: no players connected, idling";
    case 1:
      return Format("net: sent %d packets, %d resent, %d bytes/s", 800 + Pick(4000), Pick(12),
                    20000 + Pick(90000));
    case 2:
      return Format("Server: heartbeat to master list ok (%d ms)", 30 + Pick(300));
    case 3:
      return Format("physics: frame budget %d.%d ms, %d bodies", 2 + Pick(6), Pick(10),
                    8 + Pick(40));
    case 4:
      return Format("Server: Sending world state to %d clients", PresentCount());
    case 5:
      return Format("sound: streaming ambience track %d", 1 + Pick(12));
    case 6:
      return Format("Server: Tick %lld, %d objects in flight", static_cast<long long>(Tick_),
                    Pick(300));
    case 7:
      return Format("net: client %d acked sequence %d", slot < 0 ? 0 : slot, Pick(65536));
    default: {
      int players = PresentCount();
      return Format("Server: vote %s by %d of %d players", Chance(50) ? "passed" : "failed",
                    Pick(players + 1), players);
    }
  }
}

// A line that one of the controller's rules acts on; every kind comes up.
std::string TGameServer::RuleLine() {
  int roll = Pick(100);
  int present = PresentCount();
  if (roll < 12) return present < 8 ? Connect() : Leave();
  if (roll < 24) return present > 0 ? Leave() : Connect();
  if (roll < 64) return present > 0 ? Latency() : Connect();
  if (roll < 85) return SettingChange();
  if (roll < 92) return RaceStart();
  if (roll < 99) return RaceEnd();
  // The server restarted within the history and names itself again.
  return Format("Server: Session \"%s\" created, running...", Name_.c_str());
}

// A line that no rule acts on: lap times during a race, chatter otherwise.
std::string TGameServer::PlainLine() {
  int slot = RandomPresentSlot();
  if (InRace_ && slot >= 0 && Chance(40)) return LapTime(slot);
  return Chatter();
}

std::string TGameServer::NextLine() {
  ++Tick_;
  if (RuleShare_ >= 0) return Pick(100) < RuleShare_ ? RuleLine() : PlainLine();
  int roll = Pick(1000);
  int present = PresentCount();
  if (roll < 12 && present < 8) return Connect();
  if (roll < 20 && present > 0) return Leave();
  if (roll < 170) return Latency();
  if (Held_) return Chatter();
  if (roll < 190 && !InRace_) return SettingChange();
  if (roll < 320 && (InRace_ || (roll < 196 && present > 0))) return RaceEvent();
  return Chatter();
}

std::string TGameServer::State() const {
  return Format("%s %d %d %s", InRace_ ? "IN_RACE" : "OPEN", Track_ + 1, Laps_,
                kRealismWords[Realism_]);
}

#include "monitor/RaceJournal.h"

namespace {
const char* const kLaps[] = {"1", "3", "8", "20"};
const char* const kRealism[] = {"ARCADE", "INTERMEDIATE", "SIMULATION"};

int DriverCount(const TRaceBoard& board) {
  int n = 0;
  for (const TDriverRow& driver : board.Drivers) n += !driver.Name.empty();
  return n;
}

// "Gull Point, 3 laps, SIMULATION, 4 drivers"
std::string RaceText(const TRaceBoard& board) {
  std::string text = board.TrackText().empty() ? "no track" : board.TrackText();
  if (board.RaceLength() >= 0) text += std::string(", ") + kLaps[board.RaceLength()] + " laps";
  if (board.Realism() >= 0) text += std::string(", ") + kRealism[board.Realism()];
  const int drivers = DriverCount(board);
  return text + ", " + std::to_string(drivers) + (drivers == 1 ? " driver" : " drivers");
}

std::string Joined(const TDriverRow& driver) {
  return "joined: " + driver.Name + " (slot " + driver.Slot + ", " + driver.Address + ")";
}

}  // namespace

std::vector<std::string> RaceChanges(const TRaceBoard& before, const std::string& nameBefore,
                                     const TRaceBoard& after, const std::string& nameAfter) {
  std::vector<std::string> lines;
  if (nameAfter != nameBefore) lines.push_back("server name: " + nameAfter);
  for (int row = 0; row < TRaceBoard::kDriverRows; ++row) {
    const TDriverRow& was = before.Drivers[static_cast<size_t>(row)];
    const TDriverRow& is = after.Drivers[static_cast<size_t>(row)];
    if (was.Name == is.Name) continue;
    if (!was.Name.empty()) lines.push_back("left: " + was.Name);
    if (!is.Name.empty()) lines.push_back(Joined(is));
  }
  if (after.InRace && !before.InRace) lines.push_back("race started: " + RaceText(after));
  if (!after.InRace && before.InRace) lines.push_back("race ended");
  return lines;
}

std::string BoardReached(const TRaceBoard& board, const std::string& serverName) {
  std::string text = "first pass: " + (serverName.empty() ? "no server name" : serverName);
  text += board.InRace ? ", in race: " : ", available: ";
  text += RaceText(board);
  std::string names;
  for (const TDriverRow& driver : board.Drivers)
    if (!driver.Name.empty()) names += (names.empty() ? "" : ", ") + driver.Name;
  if (!names.empty()) text += " (" + names + ")";
  return text;
}

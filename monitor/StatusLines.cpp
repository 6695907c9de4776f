#include "monitor/StatusLines.h"

#include "session/StrUtils.h"

namespace {
const char* const kLaps[] = {"1 ", "3 ", "8 ", "20 "};
const char* const kRealism[] = {"ARCADE", "INTERMEDIATE", "SIMULATION"};
}  // namespace

std::string StatusLine(const TRaceBoard& board, const std::string& localAddress) {
  std::string line = "STATUS: " + localAddress;
  line += board.InRace ? " IN_RACE " : " OPEN ";
  line += board.TrackText();
  line += " ";
  if (board.RaceLength() >= 0) line += kLaps[board.RaceLength()];
  if (board.Realism() >= 0) line += kRealism[board.Realism()];
  return line;
}

std::string DriversLine(const TRaceBoard& board) {
  std::string line = "DRIVERS: ";
  for (const TDriverRow& driver : board.Drivers)
    if (!driver.Name.empty()) line += Str::BlanksToUnderscores(driver.Name) + " ";
  return Str::Trim(line);
}

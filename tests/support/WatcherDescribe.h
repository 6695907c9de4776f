#pragma once

// Describes a race board by what differs from a fresh one, so that tests can
// state what a line left behind in one readable string.

#include <string>

#include "session/RaceBoard.h"

inline std::string DescribeBoard(const TRaceBoard& b) {
  std::string out;
  auto add = [&out](const std::string& item) { out += (out.empty() ? "" : " ") + item; };
  const TRaceBoard fresh;
  if (b.InRace) add("InRace");
  if (b.Realism() != fresh.Realism()) add("Realism=" + std::to_string(b.Realism()));
  if (b.RaceLength() != fresh.RaceLength()) add("RaceLength=" + std::to_string(b.RaceLength()));
  if (b.AIStrength() != fresh.AIStrength()) add("AIStrength=" + std::to_string(b.AIStrength()));
  if (!b.AICount.empty()) add("AICount=" + b.AICount);
  if (b.TrackIndex() != fresh.TrackIndex()) add("Track=" + std::to_string(b.TrackIndex()));
  if (!b.TrackText().empty()) add("TrackText=" + b.TrackText());
  if (b.Damage) add("Damage");
  if (b.Reverse) add("Reverse");
  for (int r = 0; r < TRaceBoard::kDriverRows; ++r) {
    const TDriverRow& d = b.Drivers[static_cast<size_t>(r)];
    if (d == TDriverRow()) continue;
    add("Row" + std::to_string(r) + "=" + d.Slot + "|" + d.Name + "|" + d.Address + "|" +
        d.Latency);
  }
  return out;
}

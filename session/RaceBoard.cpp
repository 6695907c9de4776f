#include "session/RaceBoard.h"

void TRaceBoard::SelectTrack(int index, const TTrackList& names) {
  if (index >= 0 && index < static_cast<int>(names.size())) {
    TrackIndex_ = index;
    TrackText_ = names[static_cast<size_t>(index)];
  } else {
    TrackIndex_ = -1;
    TrackText_.clear();
  }
}

bool TRaceBoard::operator==(const TRaceBoard& o) const {
  return InRace == o.InRace && AICount == o.AICount && Damage == o.Damage &&
         Reverse == o.Reverse && Drivers == o.Drivers && Realism_ == o.Realism_ &&
         RaceLength_ == o.RaceLength_ && AIStrength_ == o.AIStrength_ &&
         TrackIndex_ == o.TrackIndex_ && TrackText_ == o.TrackText_;
}

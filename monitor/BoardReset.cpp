#include "monitor/BoardReset.h"

void ResetBoard(TRaceBoard& board, TSession& session) {
  session.ReadOffset = 0;
  board.SetRealism(session.DefaultRealism);
  board.SetRaceLength(session.DefaultRaceLength);
  board.SetAIStrength(session.DefaultAIStrength);
  board.AICount = session.DefaultAICount;
  // Track numbers count from 1; any number outside 1..8 selects no track.
  int32_t track = session.DefaultTrack;
  board.SelectTrack(track >= 1 && track <= 8 ? track - 1 : -1, session.TrackNames);
  board.Damage = session.DefaultDamage;
  board.Reverse = session.DefaultReverse;
  board.SetInRace(false);
}

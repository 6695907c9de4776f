#pragma once

#include <string>
#include <vector>

#include "session/RaceBoard.h"

// What a pass of the watcher changed on the board, as the journal's RACE
// lines tell it: the race started or ended, the server got another name,
// drivers joined or left. Only the change from one pass to the next: a race
// that started and ended within one pass is not seen.
std::vector<std::string> RaceChanges(const TRaceBoard& before, const std::string& nameBefore,
                                     const TRaceBoard& after, const std::string& nameAfter);
// The board a first pass over a history reached, in one line. Server names as
// the room knows them (the sign-on name).
std::string BoardReached(const TRaceBoard& board, const std::string& serverName);

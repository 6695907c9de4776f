#pragma once

#include <string>

#include "session/RaceBoard.h"

// The two lines announced in the chat room after a pass, composed from one
// state of the board (the caller holds the session's StateLock).

// "STATUS: " + address + " IN_RACE " or " OPEN " + track text + " " + laps
// ("1 ", "3 ", "8 ", "20 ") + realism word; nothing is trimmed, and a missing
// race length or realism leaves its piece out.
std::string StatusLine(const TRaceBoard& board, const std::string& localAddress);
// "DRIVERS: " and the name of every driver row in order, blanks in names turned
// into "_", separated by single blanks; "DRIVERS:" when nobody is in.
std::string DriversLine(const TRaceBoard& board);

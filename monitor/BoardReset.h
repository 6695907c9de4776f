#pragma once

#include "session/RaceBoard.h"
#include "session/Session.h"

// Puts the settings' defaults on the board when the log is new or shrank (the
// game server started a new log): the reading starts again from byte 0. The
// drivers, the realism last announced, the server's name and the caption stay.
// The caller holds the session's StateLock.
void ResetBoard(TRaceBoard& board, TSession& session);

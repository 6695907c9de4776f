#pragma once

#include <array>
#include <string>

#include "session/RaceBoard.h"

// The two lists the controller posts in the room after signing on. Each entry
// is trimmed and its blanks become "_", so one name is one word on the wire.
// An empty track entry leaves a lone blank, while an empty car name is posted
// as "*", so the car list always has thirteen items.
std::string TrackListText(const TTrackList& trackNames);
std::string CarListText(const std::array<std::string, 13>& carNames);

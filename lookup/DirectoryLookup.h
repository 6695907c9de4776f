#pragma once

#include <string>

#include "lookup/DirectoryReply.h"

class TIdHTTP;

// Whatever the directory sends, one lookup (connect, head and body) ends
// within this time: a directory that drips a byte every few seconds would
// otherwise keep each read's time-out from ever expiring.
inline constexpr int kLookupDeadline = 20000;

// How long one lookup may take, in milliseconds.
struct TLookupLimits {
  int ReadTimeout;  // each read
  int Deadline;     // the whole GET, connect included
};

enum class TLookupOutcome {
  Found,     // status 200 with every value asked for
  NoAnswer,  // the GET failed: name, connect, transfer, time-out, refused status
  Busy,      // the directory answered without the values (2xx other than 200, keys missing)
};

// One GET of url with http, bounded by limits; reads the values the flags ask
// for into reply. Shows nothing and stores nothing: the caller decides what
// the user hears of a failure. The client keeps its own time-out and no
// deadline afterwards.
TLookupOutcome AskDirectory(TIdHTTP& http, const std::string& url, bool LocalAuto, bool ChatAuto,
                            const TLookupLimits& limits, TDirectoryReply& reply);

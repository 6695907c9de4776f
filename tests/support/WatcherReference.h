#pragma once

// A plain reading of the game server's log, one byte at a time, and of the
// fourteen line rules, written as directly as they are stated and without any
// of the watcher's shortcuts (buffering, passing over lines, trigger words).
// Tests and the fuzz target hold the watcher's fast reading against it.
// Header-only, so the fuzz targets can use it.

#include <cstdint>
#include <string>

#include "session/IntConv.h"
#include "session/RaceBoard.h"
#include "session/StrUtils.h"

// What the rules change besides the board.
struct TReferenceState {
  TRaceBoard Board;
  TTrackList TrackNames = {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
                           "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
  int32_t CurrentRealism = 0;
  std::string ServerName;
  std::string Caption;
};

// The log as a byte string read from Position on; the bytes may grow.
struct TReferenceLog {
  std::string Bytes;
  size_t Position = 0;
  // The longest line kept; the bytes past it are counted but not kept.
  size_t MaxLine = static_cast<size_t>(-1);

  int64_t ReadLogLine(std::string& line) {
    line.clear();
    if (Position >= Bytes.size()) return 0;
    int64_t count = 0;
    bool keptCr = false;
    for (;;) {
      char c = Bytes[Position++];
      keptCr = line.size() < MaxLine;
      if (keptCr) line += c;
      ++count;
      if (c == '\r' || Position == Bytes.size()) break;
    }
    if (Position == Bytes.size()) return count;
    if (keptCr) line.erase(line.size() - 1);
    ++Position;  // the LF of the CR LF pair, whatever it is
    return count + 1;
  }
};

// The slot character at position i, or -1 when it is not a digit.
inline int ReferenceDigit(const std::string& line, int i) {
  int32_t value;
  if (!TryStrToInt(Str::Copy(line, i, 1), value)) return -1;
  return value;
}

inline void ReferenceRules(std::string& line, TReferenceState& s) {
  auto has = [&line](const char* text) { return Str::Pos(text, line) != 0; };
  TRaceBoard& b = s.Board;
  // A race starts; the race is over.
  if (has("Server: SYNC: 2way:")) b.InRace = true;
  if (has("Server: Singleton player reset.")) b.InRace = false;
  // The server names itself.
  if (has("created, running...")) {
    Str::Delete(line, 1, Str::Pos("\"", line));
    Str::Delete(line, Str::Pos("\"", line), static_cast<int>(line.size()));
    s.Caption = "Server Status: " + line;
    s.ServerName = "_" + Str::BlanksToUnderscores(line);
  }
  // Realism.
  if (has("chat: Changing realism to")) {
    if (has("arcade"))
      s.CurrentRealism = 0;
    else if (has("intermediate realism"))
      s.CurrentRealism = 1;
    else if (has("simulation"))
      s.CurrentRealism = 2;
  }
  // Track.
  if (has("chat: Changing track")) {
    for (int i = 0; i < 8; ++i)
      if (has(std::to_string(i + 1).c_str())) {
        b.SelectTrack(i, s.TrackNames);
        break;
      }
  }
  // Race type.
  if (has("chat: Changing race_type")) {
    if (has("sprint"))
      b.SetRaceLength(0);
    else if (has("short"))
      b.SetRaceLength(1);
    else if (has("long"))
      b.SetRaceLength(2);
    else if (has("insane"))
      b.SetRaceLength(3);
  }
  // AI strength.
  if (has("chat: Changing ai_strength")) {
    if (has("easy ai"))
      b.SetAIStrength(0);
    else if (has("intermediate ai"))
      b.SetAIStrength(1);
    else if (has("hard ai"))
      b.SetAIStrength(2);
  }
  // AI car count.
  if (has("chat: Changing ai car count"))
    b.AICount = Str::Copy(line, static_cast<int>(line.size()), 1);
  // Damage.
  if (has("chat: Changing damage_on")) {
    if (has("damage off"))
      b.Damage = false;
    else if (has("damage on"))
      b.Damage = true;
  }
  // Reverse.
  if (has("chat: Changing is_reversed")) {
    if (has("forward"))
      b.Reverse = false;
    else if (has("reversed"))
      b.Reverse = true;
  }
  // A player joins.
  if (has("Server: User Connected:")) {
    Str::Delete(line, 1, 23);
    int row = ReferenceDigit(line, Str::Pos("(", line) + 1);
    if (row >= 0 && row <= 7) {
      TDriverRow& d = b.Drivers[static_cast<size_t>(row)];
      d.Slot = std::to_string(row);
      d.Name = Str::Trim(Str::Copy(line, 1, Str::Pos("(", line) - 2));
      d.Address = Str::Trim(Str::Copy(line, Str::Pos("@", line) + 2, 16));
    }
  }
  // A player leaves.
  if (has("Server: User")) {
    int row = ReferenceDigit(line, Str::Pos("(", line) + 1);
    if (row >= 0 && row <= 7) b.Drivers[static_cast<size_t>(row)] = TDriverRow();
  }
  // A player is dropped.
  if (has("Server: Disconnecting")) {
    int row = ReferenceDigit(line, Str::Pos("(", line) - 2);
    if (row >= 0 && row <= 7) b.Drivers[static_cast<size_t>(row)] = TDriverRow();
  }
  // A latency report.
  if (has("latency for")) {
    Str::Delete(line, 1, 11);
    std::string name = Str::Trim(Str::Copy(line, 1, Str::Pos(" is ", line) - 1));
    int row = -1;
    for (int r = 7; r >= 0; --r)
      if (b.Drivers[static_cast<size_t>(r)].Name == name) row = r;
    Str::Delete(line, 1, static_cast<int>(name.size()) + 4);
    if (row >= 0) b.Drivers[static_cast<size_t>(row)].Latency = Str::Trim(line);
  }
}

// Reads every line from the log's position to its end through the rules;
// returns the bytes consumed.
inline int64_t ReferenceReadAll(TReferenceLog& log, TReferenceState& s) {
  int64_t consumed = 0;
  std::string line;
  while (int64_t n = log.ReadLogLine(line)) {
    consumed += n;
    ReferenceRules(line, s);
  }
  return consumed;
}

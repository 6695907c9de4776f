#pragma once

// Reads one log three ways and reports what each reading left behind: the
// watcher's own pass reading (buffered, passing over lines without trigger
// words), the watcher's reader line by line with every rule tried, and the plain
// byte-by-byte reference. The log arrives in pieces, as a game server appends
// it; after each piece one pass reads what is new. Header-only, for the fuzz
// target too.

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/LineRules.h"
#include "monitor/LogReader.h"
#include "monitor/PassReading.h"
#include "support/WatcherDescribe.h"
#include "support/WatcherFakes.h"
#include "support/WatcherReference.h"

struct TReadingOutcome {
  std::string Board;
  int32_t CurrentRealism = 0;
  std::string ServerName;
  std::string Caption;
  // ReadOffset after each pass.
  std::vector<int64_t> Offsets;

  bool operator==(const TReadingOutcome& o) const {
    return Board == o.Board && CurrentRealism == o.CurrentRealism && ServerName == o.ServerName &&
           Caption == o.Caption && Offsets == o.Offsets;
  }
  std::string Text() const {
    std::string offsets;
    for (int64_t o : Offsets) offsets += " " + std::to_string(o);
    return "board [" + Board + "] realism " + std::to_string(CurrentRealism) + " server [" +
           ServerName + "] caption [" + Caption + "] offsets" + offsets;
  }
};

// The board holds only values inside its ranges, and the track text is the
// selected entry's name.
inline bool BoardWithinRanges(const TRaceBoard& b, const TTrackList& names) {
  if (b.Realism() < -1 || b.Realism() > 2) return false;
  if (b.RaceLength() < -1 || b.RaceLength() > 3) return false;
  if (b.AIStrength() < -1 || b.AIStrength() > 2) return false;
  if (b.TrackIndex() < -1 || b.TrackIndex() > 7) return false;
  if (b.TrackText() != (b.TrackIndex() < 0 ? "" : names[static_cast<size_t>(b.TrackIndex())]))
    return false;
  if (b.AICount.size() > 1) return false;
  for (int r = 0; r < TRaceBoard::kDriverRows; ++r) {
    const std::string& slot = b.Drivers[static_cast<size_t>(r)].Slot;
    if (!slot.empty() && slot != std::to_string(r)) return false;
  }
  return true;
}

// The watcher's pass reading, with the reading a buffer ahead on a second
// thread when ahead is set. When ranges is given it is cleared if the board ever
// leaves its ranges.
inline TReadingOutcome ReadLikeThePass(const std::vector<std::string>& pieces, size_t bufferBytes,
                                       size_t maxRead, size_t maxLine, bool ahead,
                                       bool* ranges = nullptr) {
  TMemoryLogFile file;
  file.MaxRead = maxRead;
  TSession session;
  session.TrackNames = TReferenceState().TrackNames;
  TRaceBoard board;
  TPassCaption caption;
  TReadingOutcome out;
  for (const std::string& piece : pieces) {
    file.Bytes += piece;
    file.Open("log");
    if (session.ReadOffset != 0) file.Seek(session.ReadOffset);
    TLogReader reader(file, bufferBytes, maxLine);
    if (ahead)
      ReadNewLinesAhead(reader, session, board, caption);
    else
      ReadNewLines(reader, session, board, caption);
    out.Offsets.push_back(session.ReadOffset);
    if (ranges && !BoardWithinRanges(board, session.TrackNames)) *ranges = false;
  }
  out.Board = DescribeBoard(board);
  out.CurrentRealism = session.CurrentRealism;
  out.ServerName = session.ServerName;
  out.Caption = caption.Text;
  return out;
}

// The watcher's reader line by line, every rule tried on every line.
inline TReadingOutcome ReadLineByLine(const std::vector<std::string>& pieces, size_t bufferBytes,
                                      size_t maxRead, size_t maxLine) {
  TMemoryLogFile file;
  file.MaxRead = maxRead;
  TSession session;
  session.TrackNames = TReferenceState().TrackNames;
  TRaceBoard board;
  TLineRules rules(board, session);
  TReadingOutcome out;
  int64_t offset = 0;
  std::string line;
  for (const std::string& piece : pieces) {
    file.Bytes += piece;
    file.Open("log");
    file.Seek(offset);
    TLogReader reader(file, bufferBytes, maxLine);
    while (int64_t n = reader.ReadLogLine(line)) {
      offset += n;
      rules.Apply(line);
    }
    out.Offsets.push_back(offset);
  }
  out.Board = DescribeBoard(board);
  out.CurrentRealism = session.CurrentRealism;
  out.ServerName = session.ServerName;
  rules.TakeCaption(out.Caption);
  return out;
}

inline TReadingOutcome ReadByReference(const std::vector<std::string>& pieces, size_t maxLine) {
  TReferenceLog log;
  log.MaxLine = maxLine;
  TReferenceState state;
  TReadingOutcome out;
  int64_t offset = 0;
  for (const std::string& piece : pieces) {
    log.Bytes += piece;
    offset += ReferenceReadAll(log, state);
    out.Offsets.push_back(offset);
  }
  out.Board = DescribeBoard(state.Board);
  out.CurrentRealism = state.CurrentRealism;
  out.ServerName = state.ServerName;
  out.Caption = state.Caption;
  return out;
}

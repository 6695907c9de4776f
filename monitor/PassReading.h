#pragma once

#include <cstdint>
#include <string>

#include "monitor/LogReader.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// What reading the new lines of the log asked of the window.
struct TPassCaption {
  bool Pending = false;
  std::string Text;
};

// Reads the log through reader from where it stands to the end of the file (the
// end being wherever the file ends when the reader asks) and runs the line
// rules over every line. The file is read a buffer at a time without the
// session's StateLock; the lines of each buffer are applied, and ReadOffset
// advanced by the bytes they consumed, under it. So the window can show and
// edit the board while a long history is read, and an error of the file leaves
// the board and ReadOffset as they were after the last whole buffer.
// Throws EFileError when the file cannot be read.
void ReadNewLines(TLogReader& reader, TSession& session, TRaceBoard& board, TPassCaption& caption);

// The same, with the file read and cut into lines on a second thread a few
// buffers ahead of the rules, which still run here in the lines' order. For a long read
// (a first pass over a history), where the two halves of the work overlap.
void ReadNewLinesAhead(TLogReader& reader, TSession& session, TRaceBoard& board,
                       TPassCaption& caption);

// Feeds arbitrary bytes as a game server's log to the watcher's reading and
// holds it against the plain byte-by-byte reading of the rules: the same board,
// the same offsets after every pass, the same realism, server name and caption;
// the offset equals the bytes consumed; the board stays inside its ranges.
//
// The first four bytes choose how the log is read: the reader's buffer size,
// the most one read returns, the longest line kept, and where the log is cut
// into the pieces that the server appends between passes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "monitor/BoardReset.h"
#include "monitor/LogWatcher.h"
#include "support/WatcherDifferential.h"

namespace {

[[noreturn]] void Fail(const char* what, const TReadingOutcome& got, const TReadingOutcome& want) {
  std::fprintf(stderr, "%s\n  got  %s\n  want %s\n", what, got.Text().c_str(), want.Text().c_str());
  std::abort();
}

std::vector<std::string> Pieces(const std::string& log, unsigned seed) {
  std::vector<std::string> pieces;
  size_t cuts = seed % 4;
  size_t at = 0;
  for (size_t i = 0; i < cuts && at < log.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    size_t n = 1 + (seed >> 8) % (log.size() - at);
    pieces.push_back(log.substr(at, n));
    at += n;
  }
  pieces.push_back(log.substr(at));
  return pieces;
}

// The whole watcher pass (reset, reading, realism) over the pieces, against the
// reference reading of the same pieces after the same reset.
void CheckWatcherPasses(const std::vector<std::string>& pieces, size_t maxLine) {
  TSession session;
  session.TrackNames = TReferenceState().TrackNames;
  TRaceBoard board;
  TFakeChat chat;
  chat.SetConnected(true);
  TFakeWindow window;
  auto file = std::make_unique<TMemoryLogFile>();
  TMemoryLogFile* log = file.get();
  TTLog watcher(session, board, chat, window, std::move(file));

  TReferenceState reference;
  TSession defaults;
  defaults.TrackNames = reference.TrackNames;
  ResetBoard(reference.Board, defaults);
  TReferenceLog referenceLog;
  referenceLog.MaxLine = maxLine;
  int64_t offset = 0;
  for (const std::string& piece : pieces) {
    log->Bytes += piece;
    referenceLog.Bytes += piece;
    watcher.Pass();
    offset += ReferenceReadAll(referenceLog, reference);
    reference.Board.SetRealism(reference.CurrentRealism);
    TReadingOutcome got, want;
    got.Board = DescribeBoard(board);
    got.CurrentRealism = session.CurrentRealism;
    got.ServerName = session.ServerName;
    got.Offsets = {session.ReadOffset};
    want.Board = DescribeBoard(reference.Board);
    want.CurrentRealism = reference.CurrentRealism;
    want.ServerName = reference.ServerName;
    want.Offsets = {offset};
    if (!(got == want)) Fail("watcher pass differs from the reference", got, want);
    if (!BoardWithinRanges(board, session.TrackNames)) Fail("board out of range", got, want);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t buffer = 2 + data[0] % 80;
  size_t maxRead = 1 + data[1] % 120;
  size_t maxLine = (data[2] & 0x80) ? 1 + data[2] % 64 : TLogReader::kMaxLineBytes;
  std::string log(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::vector<std::string> pieces = Pieces(log, data[3]);

  TReadingOutcome reference = ReadByReference(pieces, maxLine);
  if (reference.Offsets.back() != static_cast<int64_t>(log.size()))
    Fail("reference did not consume every byte", reference, reference);
  bool ranges = true;
  TReadingOutcome pass = ReadLikeThePass(pieces, buffer, maxRead, maxLine, false, &ranges);
  if (!(pass == reference)) Fail("pass reading differs from the reference", pass, reference);
  if (!ranges) Fail("board out of range", pass, reference);
  TReadingOutcome ahead = ReadLikeThePass(pieces, buffer, maxRead, maxLine, true);
  if (!(ahead == reference))
    Fail("pass reading a buffer ahead differs from the reference", ahead, reference);
  TReadingOutcome lines = ReadLineByLine(pieces, buffer, maxRead, maxLine);
  if (!(lines == reference))
    Fail("line-by-line reading differs from the reference", lines, reference);
  if (maxLine == TLogReader::kMaxLineBytes) CheckWatcherPasses(pieces, maxLine);
  return 0;
}

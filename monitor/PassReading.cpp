#include "monitor/PassReading.h"

#include <mutex>

#include "monitor/LineRules.h"
#include "monitor/ReadAhead.h"

void ReadNewLines(TLogReader& reader, TSession& session, TRaceBoard& board, TPassCaption& caption) {
  TRuleLine line;
  for (;;) {
    size_t read = reader.Fill();
    {
      std::lock_guard<std::mutex> lock(session.StateLock);
      TLineRules rules(board, session);
      int64_t consumed = 0;
      while (reader.TakeRuleLine(line, consumed)) rules.Apply(line);
      session.ReadOffset += consumed;
      if (rules.TakeCaption(caption.Text)) caption.Pending = true;
    }
    if (read == 0 && reader.Drained()) return;
  }
}

void ReadNewLinesAhead(TLogReader& reader, TSession& session, TRaceBoard& board,
                       TPassCaption& caption) {
  TReadAhead ahead(reader);
  for (;;) {
    const TRuleBatch& batch = ahead.Next();
    {
      std::lock_guard<std::mutex> lock(session.StateLock);
      TLineRules rules(board, session);
      for (const TRuleLine& line : batch.Lines) rules.Apply(line);
      // As above: a read that fails leaves ReadOffset where the last whole
      // buffer put it.
      if (!batch.Error) session.ReadOffset += batch.Consumed;
      if (rules.TakeCaption(caption.Text)) caption.Pending = true;
    }
    if (batch.Error) std::rethrow_exception(batch.Error);
    if (batch.Last) return;
  }
}

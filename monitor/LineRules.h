#pragma once

#include <string>
#include <string_view>

#include "monitor/TriggerWords.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// The fourteen rules that turn a line of the game server's log into changes of
// the race board, the realism last announced, the server's name and the
// window's caption. The caller holds the session's StateLock.
//
// Some rules cut the line, and the rules after them see the cut line. A cut
// only ever leaves a piece of the line, so the rules work on a view of it that
// shrinks: the line itself is never copied.
class TLineRules {
 public:
  TLineRules(TRaceBoard& board, TSession& session) : Board_(board), Session_(session) {}

  // Runs the rules over line in their order.
  void Apply(std::string_view line);
  // The same for a line as the log reader takes it, whose trigger words are
  // known: its Words hold exactly the words found in it. A rule whose word is
  // missing cannot fire and is not tried, and a trigger that is a word itself
  // needs no search.
  void Apply(const TRuleLine& line);

  // The caption that the last line announcing the server asked for, if any came
  // since the previous call.
  bool TakeCaption(std::string& caption);

 private:
  void Run(std::string_view line, unsigned words, bool exact, bool oneWordOpens);
  void ServerCreated(std::string_view& line);
  void SettingChanged(std::string_view line, bool oneWordOpens);
  void UserConnected(std::string_view& line);
  void ClearRow(std::string_view line, int digitAt);
  void LatencyReported(std::string_view line);

  TRaceBoard& Board_;
  TSession& Session_;
  bool CaptionPending_ = false;
  std::string Caption_;
};

// The driver row named by the slot character at position at (counted from 1)
// of line, or -1: a character that is not a decimal digit, or no character at
// all, names no row (a player may well be called "Al (the Ace)"), and neither do
// the digits 8 and 9.
int SlotRow(std::string_view line, int at);

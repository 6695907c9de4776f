#pragma once

#include <string>

#include "monitor/TriggerWords.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// The fourteen rules that turn a line of the game server's log into changes of
// the race board, the realism last announced, the server's name and the
// window's caption. The caller holds the session's StateLock.
class TLineRules {
 public:
  TLineRules(TRaceBoard& board, TSession& session) : Board_(board), Session_(session) {}

  // Runs the rules over line in their order; some of them change the line, and
  // the rules after those see the changed line. words tells which trigger words
  // the line holds: a rule whose word is missing cannot fire and is not tried.
  void Apply(std::string& line, unsigned words = kAllTriggerWords);

  // The caption that the last line announcing the server asked for, if any came
  // since the previous call.
  bool TakeCaption(std::string& caption);

 private:
  void ServerCreated(std::string& line);
  void SettingChanged(const std::string& line);
  void UserConnected(std::string& line);
  void ClearRow(const std::string& line, int digitAt);
  void LatencyReported(std::string& line);

  TRaceBoard& Board_;
  TSession& Session_;
  bool CaptionPending_ = false;
  std::string Caption_;
};

// The driver row named by the slot character at position at (counted from 1)
// of line, or -1: a character that is not a decimal digit, or no character at
// all, names no row (a player may well be called "Al (the Ace)"), and neither do
// the digits 8 and 9.
int SlotRow(const std::string& line, int at);

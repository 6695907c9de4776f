#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A make-believe Strakon dedicated server: it keeps players in slots, changes
// settings between races, runs races and says all of it the way the real server
// writes its log, one line at a time (without the CR LF).
class TGameServer {
 public:
  TGameServer(std::string name, uint32_t seed);

  // The server starts, or starts again: no players, no race, and the settings
  // that its start-up lines name. Returns those lines; the one with its name in
  // quotes ends in "created, running...".
  std::vector<std::string> StartUp();
  // The next line of the running server.
  std::string NextLine();
  // While held, the server writes only lines that leave the state below as it
  // is: players come, go and report latencies, but no race starts or ends and
  // no setting changes.
  void Hold(bool on) { Held_ = on; }
  bool Held() const { return Held_; }
  // What a reader of the log since the last start-up knows of the server, in
  // the words of the controller's status line: "IN_RACE" or "OPEN", the track
  // number (1 to 8), the lap count and the realism ("ARCADE", "INTERMEDIATE",
  // "SIMULATION"), separated by blanks.
  std::string State() const;
  // From now on, percent of the lines (0 to 100) are lines that the controller
  // acts on, of every kind it knows; the players' names are then made up from
  // a larger pool (numbers, clan tags), so that no two histories look alike.
  // Without it the mix is the one of an evening on a real server.
  void SetRuleShare(int percent) { RuleShare_ = percent; }

 private:
  struct TPlayer {
    bool Present = false;
    std::string Name;
    std::string Address;
    int Latency = 0;
  };

  int Pick(int count);
  bool Chance(int percent);
  int PresentCount() const;
  int RandomPresentSlot();
  std::string Connect();
  std::string Leave();
  std::string Latency();
  std::string SettingChange();
  std::string RaceEvent();
  std::string RaceStart();
  std::string RaceEnd();
  std::string LapTime(int slot);
  std::string Chatter();
  std::string RuleLine();
  std::string PlainLine();
  std::string TakeName();

  std::string Name_;
  std::mt19937 Random_;
  std::array<TPlayer, 8> Slots_;
  std::vector<std::string> FreeNames_;
  bool InRace_ = false;
  int Lap_ = 0;
  int Laps_ = 3;
  int Track_ = 2;
  int Realism_ = 0;
  bool Held_ = false;
  int64_t Tick_ = 0;
  int RuleShare_ = -1;  // -1: the natural mix
};

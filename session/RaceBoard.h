#pragma once

#include <array>
#include <string>

// One row of the driver table; the row index is the game server's slot number.
struct TDriverRow {
  std::string Slot;
  std::string Name;
  std::string Address;
  std::string Latency;
  bool operator==(const TDriverRow& o) const {
    return Slot == o.Slot && Name == o.Name && Address == o.Address && Latency == o.Latency;
  }
};

using TTrackList = std::array<std::string, 8>;

// What is known about the race on the game server. The window shows it and the
// status line is composed from it. Realism, race length and AI strength are
// clamped to their ranges; the track index and track text move together.
class TRaceBoard {
 public:
  static constexpr int kDriverRows = 8;

  // A click of the user on the in-race indicator changes InRace alone; the
  // controller (start-up, the log's rules, a reset) sets it through
  // SetInRace, which the view answers with the indicator's caption and colour
  // as well, also when the value was already the same.
  bool InRace = false;
  void SetInRace(bool value) {
    InRace = value;
    ++InRaceSets;
  }
  // How many times the controller has set InRace; not part of the board's
  // value (operator==), only the view's way of telling its settings apart.
  unsigned InRaceSets = 0;
  std::string AICount;
  bool Damage = false;
  bool Reverse = false;
  std::array<TDriverRow, kDriverRows> Drivers;

  int Realism() const { return Realism_; }
  int RaceLength() const { return RaceLength_; }
  int AIStrength() const { return AIStrength_; }
  // A value above the range stores the highest value; below -1 stores -1.
  void SetRealism(int value) { Realism_ = Clamp(value, 2); }
  void SetRaceLength(int value) { RaceLength_ = Clamp(value, 3); }
  void SetAIStrength(int value) { AIStrength_ = Clamp(value, 2); }

  int TrackIndex() const { return TrackIndex_; }
  const std::string& TrackText() const { return TrackText_; }
  // Selects entry index (0-based) of the track list; the track text becomes
  // that entry's name. An index outside 0..7 selects none and empties the text.
  void SelectTrack(int index, const TTrackList& names);
  // A text typed by the user into the track box; the selection stays.
  void SetTrackText(const std::string& text) { TrackText_ = text; }

  bool operator==(const TRaceBoard& o) const;
  bool operator!=(const TRaceBoard& o) const { return !(*this == o); }

 private:
  static int Clamp(int value, int high) { return value > high ? high : (value < -1 ? -1 : value); }

  int Realism_ = -1;
  int RaceLength_ = -1;
  int AIStrength_ = -1;
  int TrackIndex_ = -1;
  std::string TrackText_;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/LocalTime.h"

// The operator's journal: what happened while nobody watched, one time-stamped
// line an event ("2026-12-11 14:02:07+01:00 LOST link to ... lost: ..."),
// appended across starts to a file that an operator may read, follow, copy or
// delete at any time.
//
// Never in the way: lines are queued and written by a thread of the journal's
// own; a line that cannot be written is dropped without a word; the file is
// moved aside (keeping every line) before it would pass its bound; and a
// burst cannot grow it faster than about a line a second on average. Runs of
// the same event (a chat server refusing every few seconds for hours) fold:
// the first is written, then at most one "still" line every ten minutes, and
// the event that ends the run can say how long it lasted (EndFold).
//
// Off until Open: a journal that is off writes nothing, not even a file.
// Safe to call from any thread.
class TJournal {
 public:
  static constexpr uint64_t kMaxBytes = 4194304;
  // How long a run of repeats goes between two of its lines.
  static constexpr int kFoldSeconds = 600;
  // Lines written at once before the average of one a second holds them back.
  static constexpr int kBurstLines = 60;
  // RACE lines (a busy server's drivers come and go all the time) have a
  // budget of their own within that: a line every ten seconds on average, so
  // that they never crowd out what the operator looks for.
  static constexpr int kRaceBurstLines = 20;
  static constexpr double kRaceLinesPerSecond = 0.1;

  using TTime = std::chrono::steady_clock::time_point;
  using TClock = std::function<TTime()>;
  using TWallClock = std::function<TLocalTime()>;

  // A run of repeats of one event, told apart by Key (the same failure of
  // the same connect, say). The first is written as Word Text; then, every
  // ten minutes while it goes on, "Word StillLead: <n> Noun since HH:MM
  // Detail", with the Detail of the latest.
  struct TFold {
    std::string Key;
    std::string Word;
    std::string Text;
    std::string StillLead;  // "still failing"
    std::string Noun;       // "tries"
    std::string Detail;     // ", next in 300 s"
  };
  // What an ended run held: how many events (0 when none was going on), from
  // when, and how long ago that was.
  struct TFoldEnd {
    int Count = 0;
    TLocalTime Since;
    int64_t SecondsSince = 0;
  };

  TJournal() = default;
  // Writes what is queued, waiting for the disk no longer than a second.
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  // Turns the journal on: lines are appended to path; before one would take it
  // past maxBytes the file moves to oldPath. The clocks are the test's; left
  // empty, the steady clock and the system's local time.
  void Open(const std::string& path, const std::string& oldPath, uint64_t maxBytes = kMaxBytes,
            TClock clock = {}, TWallClock wall = {});
  bool IsOn() const { return State_ != nullptr; }
  // The journal's clock (the steady clock, or the test's).
  TTime Now() const;

  // One event. START and EXIT lines are never held back.
  void Write(const std::string& word, const std::string& text);
  // One more event of a run; returns true when it was written (the first of
  // its run), false when it was counted into the run.
  bool Fold(const TFold& fold);
  // Ends the run of key and says what it held.
  TFoldEnd EndFold(const std::string& key);

  // Writes what is queued and stops the writer, waiting for the disk no
  // longer than waitMs; later calls write nothing.
  void Close(int waitMs = 1000);

 private:
  struct TState;
  std::shared_ptr<TState> State_;
  std::thread Writer_;
};

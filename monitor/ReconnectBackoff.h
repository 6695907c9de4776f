#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

// When to try again after a connect or a lookup has failed: the first wait is
// the pause between two passes, each further failure doubles it up to the
// longest wait of the settings, and every wait is shortened by a random share
// of up to a fifth. The share keeps the game servers that lost the same chat
// server or directory from coming back to it all in the same instant; taking it
// off (not adding it) keeps the operator's longest wait a true upper bound.
//
// Used by one thread at a time; the clock and the random source are given, so
// that tests can step through the waits.
class TReconnectBackoff {
 public:
  using TTime = std::chrono::steady_clock::time_point;
  using TClock = std::function<TTime()>;
  // A share in [0, 1).
  using TRandom = std::function<double()>;

  // A first wait below this would let a RefreshTime of 0 retry without pause for ever.
  static constexpr int64_t kShortestWaitMs = 100;

  // The steady clock and a random engine of its own.
  TReconnectBackoff();
  TReconnectBackoff(TClock clock, TRandom random);

  // True until the first failure, after a success, and once the wait has passed.
  bool Due() const;
  // Milliseconds until the next try is due; 0 when it is due.
  int64_t MillisecondsToNext() const;
  // A try has failed: the next one is due after the wait this returns (ms).
  // firstWaitMs: the pause between passes; longestWaitMs: the setting's value.
  int64_t Failed(int64_t firstWaitMs, int64_t longestWaitMs);
  // A try has succeeded: the next failure waits the first wait again.
  void Succeeded();
  // The next try is due at once (the user asked for it); the waits go on
  // growing from where they were should it fail.
  void TryNow();

 private:
  TClock Clock_;
  TRandom Random_;
  int Failures_ = 0;
  TTime Next_{};
};

#include "monitor/ReconnectBackoff.h"

#include <algorithm>
#include <memory>
#include <random>

TReconnectBackoff::TReconnectBackoff() : Clock_([] { return std::chrono::steady_clock::now(); }) {
  // Seeded per object from the system's entropy and the clock: two controllers
  // started by the same reboot must not draw the same waits.
  auto engine = std::make_shared<std::mt19937>(
      std::random_device{}() ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  Random_ = [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
}

TReconnectBackoff::TReconnectBackoff(TClock clock, TRandom random)
    : Clock_(std::move(clock)), Random_(std::move(random)) {}

bool TReconnectBackoff::Due() const {
  return MillisecondsToNext() == 0;
}

int64_t TReconnectBackoff::MillisecondsToNext() const {
  if (Failures_ == 0) return 0;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Next_ - Clock_()).count();
  return std::max<int64_t>(left, 0);
}

int64_t TReconnectBackoff::Failed(int64_t firstWaitMs, int64_t longestWaitMs) {
  int64_t wait = std::max(firstWaitMs, kShortestWaitMs);
  // Doubling stops at the longest wait, long before it could overflow.
  for (int i = 0; i < Failures_ && wait < longestWaitMs; ++i) wait *= 2;
  wait = std::min(wait, longestWaitMs);
  const double share = std::clamp(Random_(), 0.0, 1.0);
  wait -= static_cast<int64_t>(static_cast<double>(wait) * share / 5.0);
  ++Failures_;
  Next_ = Clock_() + std::chrono::milliseconds(wait);
  return wait;
}

void TReconnectBackoff::Succeeded() {
  Failures_ = 0;
}

void TReconnectBackoff::TryNow() {
  Next_ = Clock_();
}

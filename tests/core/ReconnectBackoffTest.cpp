#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "monitor/ReconnectBackoff.h"

namespace {

// A clock that moves only when the test moves it, and a fixed random share.
struct TSteppedBackoff {
  explicit TSteppedBackoff(double share)
      : Backoff([this] { return Now; }, [share] { return share; }) {}
  void Advance(int64_t ms) { Now += std::chrono::milliseconds(ms); }
  TReconnectBackoff::TTime Now{};
  TReconnectBackoff Backoff;
};

struct WaitsCase {
  const char* Name;
  int64_t FirstWait;
  int64_t LongestWait;
  double Share;
  std::vector<int64_t> Waits;  // after 1, 2, 3 ... failures
};

void PrintTo(const WaitsCase& c, std::ostream* os) {
  *os << c.Name;
}

class BackoffWaits : public ::testing::TestWithParam<WaitsCase> {};

TEST_P(BackoffWaits, DoubleFromTheFirstWaitUpToTheLongestLessTheRandomShare) {
  TSteppedBackoff b(GetParam().Share);
  std::vector<int64_t> waits;
  for (size_t i = 0; i < GetParam().Waits.size(); ++i)
    waits.push_back(b.Backoff.Failed(GetParam().FirstWait, GetParam().LongestWait));
  EXPECT_EQ(waits, GetParam().Waits);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, BackoffWaits,
    ::testing::Values(
        WaitsCase{"NoShare", 500, 4000, 0.0, {500, 1000, 2000, 4000, 4000}},
        WaitsCase{"HalfShareTakesATenth", 500, 4000, 0.5, {450, 900, 1800, 3600, 3600}},
        WaitsCase{"WholeShareTakesAFifth", 1000, 2000, 1.0, {800, 1600, 1600}},
        WaitsCase{"FirstWaitPastTheLongest", 5000, 2000, 0.0, {2000, 2000}},
        WaitsCase{"NoPauseStillWaits", 0, 2000, 0.0, {100, 200, 400, 800, 1600, 2000}}),
    [](const ::testing::TestParamInfo<WaitsCase>& info) { return std::string(info.param.Name); });

TEST(Backoff, DueAtFirstThenAfterEachWaitAndAtOnceWhenAskedFor) {
  TSteppedBackoff b(0.0);
  EXPECT_TRUE(b.Backoff.Due());
  b.Backoff.Failed(500, 4000);
  EXPECT_FALSE(b.Backoff.Due());
  b.Advance(499);
  EXPECT_EQ(b.Backoff.MillisecondsToNext(), 1);
  b.Advance(1);
  EXPECT_TRUE(b.Backoff.Due());

  b.Backoff.Failed(500, 4000);  // the second wait: 1000
  b.Advance(10);
  EXPECT_FALSE(b.Backoff.Due());
  b.Backoff.TryNow();
  EXPECT_TRUE(b.Backoff.Due());
  // A try asked for by the user that fails again goes on from the waits reached.
  EXPECT_EQ(b.Backoff.Failed(500, 4000), 2000);
}

TEST(Backoff, SuccessStartsTheWaitsAgainFromTheFirst) {
  TSteppedBackoff b(0.0);
  b.Backoff.Failed(500, 4000);
  b.Backoff.Failed(500, 4000);
  b.Backoff.Succeeded();
  EXPECT_TRUE(b.Backoff.Due());
  EXPECT_EQ(b.Backoff.Failed(500, 4000), 500);
}

}  // namespace

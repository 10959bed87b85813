#include "relay_accept_backoff.h"

#include <gtest/gtest.h>

namespace tvx::relay {
namespace {

using namespace std::chrono_literals;

TEST(AcceptBackoffTest, PauseGrowsToItsLongestAndStartsOverAfterASuccess) {
  AcceptBackoff backoff;
  const auto now = AcceptBackoff::Clock::time_point{} + 1h;
  const std::chrono::milliseconds expected[] = {100ms, 200ms, 400ms, 800ms, 1000ms, 1000ms};
  for (auto pause : expected) EXPECT_EQ(backoff.Failed(now).pause, pause);
  backoff.Succeeded();
  EXPECT_EQ(backoff.Failed(now).pause, 100ms);
}

TEST(AcceptBackoffTest, LogsAtMostOnceASecondCountingTheFailuresBetween) {
  AcceptBackoff backoff;
  const auto start = AcceptBackoff::Clock::time_point{} + 1h;
  struct Step {
    std::chrono::milliseconds at;
    bool log;
    std::uint32_t failures;  // when logged
  };
  const Step steps[] = {
      {0ms, true, 1}, {100ms, false, 0}, {300ms, false, 0}, {999ms, false, 0},
      {1000ms, true, 4}, {1500ms, false, 0}, {5000ms, true, 2},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at.count());
    const AcceptBackoff::Decision decision = backoff.Failed(start + step.at);
    EXPECT_EQ(decision.log, step.log);
    if (step.log) {
      EXPECT_EQ(decision.failures, step.failures);
    }
  }
  // A success in between does not open the log to a line at every failure.
  backoff.Succeeded();
  EXPECT_FALSE(backoff.Failed(start + 5100ms).log);
}

}  // namespace
}  // namespace tvx::relay

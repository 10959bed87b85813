#include "foundation/clock.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/secure_random.h"

namespace tvx {
namespace {

TEST(Clock, IsMonotonic) {
  std::int64_t last = NowMicros();
  for (int i = 0; i < 10000; ++i) {
    const std::int64_t now = NowMicros();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(SleepUntil, PastDeadlineReturnsAtOnce) {
  const std::int64_t start = NowMicros();
  SleepUntil(start - 1000000);
  SleepUntil(0);
  EXPECT_LT(NowMicros() - start, 50000);
}

TEST(SleepUntil, NeverWakesBeforeTheDeadline) {
  for (const std::int64_t ahead : {300, 2000, 15000}) {
    const std::int64_t deadline = NowMicros() + ahead;
    SleepUntil(deadline);
    EXPECT_GE(NowMicros(), deadline) << ahead;
  }
}

TEST(SecureRandom, FillsBuffersOfAnySize) {
  std::vector<std::uint8_t> a(4096), b(4096);
  ASSERT_TRUE(SecureRandomBytes(a.data(), a.size()));
  ASSERT_TRUE(SecureRandomBytes(b.data(), b.size()));
  EXPECT_NE(a, b);
  // Every byte value turns up in 4 KiB of random bytes with overwhelming probability.
  std::array<bool, 256> seen{};
  for (std::uint8_t v : a) seen[v] = true;
  EXPECT_GT(std::count(seen.begin(), seen.end(), true), 200);
  EXPECT_TRUE(SecureRandomBytes(a.data(), 0));
}

}  // namespace
}  // namespace tvx

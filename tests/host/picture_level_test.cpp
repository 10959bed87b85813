#include "host/picture_level.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

constexpr std::int64_t kWindow = PictureLevel::kWindowMicros;

// Feeds one 400 ms window of `turns` turns, `late` of them late, and returns the result of its
// last turn (the one that closes the window).
std::optional<PictureLevel::Change> Window(PictureLevel& level, std::int64_t& now, int turns, int late) {
  std::optional<PictureLevel::Change> change;
  const std::int64_t start = now;
  for (int i = 0; i < turns; ++i) {
    now = start + kWindow * (i + 1) / turns;  // the last turn lands exactly on the window's end
    change = level.OnTurn(i < late, now);
  }
  return change;
}

TEST(PictureLevel, RisesOneStepPerWindowWhenMoreThanAQuarterIsLate) {
  PictureLevel level;
  std::int64_t now = 1'000'000;
  level.OnTurn(false, now);  // starts the first window
  for (std::uint32_t want = 1; want <= 3; ++want) {
    const auto change = Window(level, now, 20, 6);  // 30 % late
    ASSERT_TRUE(change.has_value());
    EXPECT_TRUE(change->raised);
    EXPECT_EQ(change->level, want);
    // The first window also holds the turn that started it.
    EXPECT_NEAR(change->lateRatio, want == 1 ? 6.0 / 21 : 0.3, 1e-9);
  }
  EXPECT_FALSE(Window(level, now, 20, 20).has_value());  // already at the top
  EXPECT_EQ(level.level(), 3u);
}

TEST(PictureLevel, ExactlyAQuarterDoesNotRaise) {
  PictureLevel level;
  std::int64_t now = 0;
  level.OnTurn(false, now);
  EXPECT_FALSE(Window(level, now, 20, 5).has_value());
  EXPECT_EQ(level.level(), 0u);
}

TEST(PictureLevel, FallsAfterFourGoodWindowsInARow) {
  PictureLevel level;
  std::int64_t now = 0;
  level.OnTurn(false, now);
  Window(level, now, 10, 10);
  Window(level, now, 10, 10);
  ASSERT_EQ(level.level(), 2u);

  // Three good windows, then one with 5 % late (between 2 % and 25 %) resets the count.
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Window(level, now, 20, 0).has_value());
  EXPECT_FALSE(Window(level, now, 20, 1).has_value());
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Window(level, now, 20, 0).has_value());
  auto change = Window(level, now, 20, 0);
  ASSERT_TRUE(change.has_value());
  EXPECT_FALSE(change->raised);
  EXPECT_EQ(change->level, 1u);

  for (int i = 0; i < 3; ++i) Window(level, now, 60, 1);  // 1/60 is under 2 %: good
  change = Window(level, now, 60, 1);
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(change->level, 0u);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(Window(level, now, 20, 0).has_value());  // never below 0
}

TEST(PictureLevel, EvaluatesAtMostOncePerWindow) {
  PictureLevel level;
  std::int64_t now = 0;
  level.OnTurn(true, now);
  // A burst of late turns inside one window moves the level only once.
  for (int i = 0; i < 100; ++i) level.OnTurn(true, now + 1000 * i);
  EXPECT_EQ(level.level(), 0u);
  EXPECT_TRUE(level.OnTurn(true, now + kWindow).has_value());
  EXPECT_EQ(level.level(), 1u);
}

TEST(FrameRateForLevel, FloorsAndScaling) {
  struct Case {
    std::uint32_t fps, level, want;
  };
  const Case cases[] = {
      {30, 0, 30}, {30, 1, 30}, {30, 2, 20}, {30, 3, 15}, {10, 2, 8}, {10, 3, 6},
      {75, 2, 50}, {75, 3, 37}, {0, 0, 1},
      // A floor never makes a lower level faster than the rate the user chose.
      {4, 2, 4},   {4, 3, 4},   {7, 3, 6},
  };
  for (const Case& c : cases) EXPECT_EQ(FrameRateForLevel(c.fps, c.level), c.want) << c.fps << " " << c.level;
}

TEST(NextFrameDeadline, HoldsARateAndResynchronisesWhenFarBehind) {
  const std::int64_t period = 50'000;
  EXPECT_EQ(NextFrameDeadline(1'000'000, 1'010'000, period), 1'050'000);  // on time
  EXPECT_EQ(NextFrameDeadline(1'000'000, 1'200'000, period), 1'050'000);  // 4 periods late: catch up
  EXPECT_EQ(NextFrameDeadline(1'000'000, 1'260'000, period), 1'310'000);  // over 5 behind: start over
}

}  // namespace
}  // namespace tvx

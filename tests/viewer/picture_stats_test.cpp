#include "viewer/picture_stats.h"

#include <gtest/gtest.h>

#include "viewer/session_nonce.h"

namespace tvx {
namespace {

TEST(PictureStats, PublishesOncePerSecondOverTheElapsedTime) {
  const struct {
    std::uint64_t bytes, frames, elapsedMs;
    bool published;
    std::uint32_t kbit, fps;
  } cases[] = {
      {125000, 30, 1000, true, 1000, 30},
      {125000, 30, 999, false, 0, 0},
      {125000, 30, 2000, true, 500, 15},
      {1999, 1, 1000, true, 15, 1},    // 15992 bits -> 15 kbit (whole kbit first)
      {0, 0, 5000, true, 0, 0},
      {125000, 31, 1500, true, 666, 20},
  };
  for (const auto& c : cases) {
    PictureStats stats(10'000);
    stats.AddBytes(c.bytes);
    for (std::uint64_t i = 0; i < c.frames; ++i) stats.CountFrame();
    PictureStats::Figures f;
    ASSERT_EQ(stats.Publish(10'000 + c.elapsedMs, f), c.published) << c.elapsedMs;
    if (!c.published) continue;
    EXPECT_EQ(f.kbitPerSecond, c.kbit);
    EXPECT_EQ(f.framesPerSecond, c.fps);
    // Counts start again from the publication.
    EXPECT_FALSE(stats.Publish(10'000 + c.elapsedMs + 999, f));
    EXPECT_TRUE(stats.Publish(10'000 + c.elapsedMs + 1000, f));
    EXPECT_EQ(f.kbitPerSecond, 0u);
  }
}

TEST(SessionNonce, IsNeverZeroAndNotRepeated) {
  EXPECT_EQ(NonzeroNonce(0), 0x54564553u);
  EXPECT_EQ(NonzeroNonce(7), 7u);
  const std::uint64_t a = DrawSessionNonce();
  const std::uint64_t b = DrawSessionNonce();
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace tvx

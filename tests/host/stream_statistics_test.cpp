#include "host/stream_statistics.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(StreamStatistics, PublishesRatesOncePerSecond) {
  StreamStatistics stats;
  stats.Start(0, 1000);
  for (int i = 0; i < 30; ++i) stats.OnTurn(10);
  EXPECT_FALSE(stats.Publish(999'999, 5000).has_value());
  const auto rates = stats.Publish(2'000'000, 1000 + 500'000);  // 500 kB in two seconds
  ASSERT_TRUE(rates.has_value());
  EXPECT_EQ(rates->kbps, 2000u);
  EXPECT_EQ(rates->framesPerSecond, 15u);
  EXPECT_EQ(rates->tilesPerSecond, 150u);

  // The counters start again after each publication.
  stats.OnTurn(4);
  const auto next = stats.Publish(3'000'000, 1000 + 500'000);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->kbps, 0u);
  EXPECT_EQ(next->framesPerSecond, 1u);
  EXPECT_EQ(next->tilesPerSecond, 4u);
}

TEST(StreamStatistics, ABytesSumThatWentDownReadsZero) {
  StreamStatistics stats;
  stats.Start(0, 900'000);
  const auto rates = stats.Publish(1'000'000, 100'000);  // a viewer left and took its bytes along
  ASSERT_TRUE(rates.has_value());
  EXPECT_EQ(rates->kbps, 0u);
  const auto next = stats.Publish(2'000'000, 225'000);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->kbps, 1000u);
}

TEST(StreamStatistics, TheFirstPublishOnlyStartsThePeriod) {
  StreamStatistics stats;
  EXPECT_FALSE(stats.Publish(5'000'000, 777).has_value());
  stats.OnTurn(1);
  const auto rates = stats.Publish(6'000'000, 777 + 125);
  ASSERT_TRUE(rates.has_value());
  EXPECT_EQ(rates->kbps, 1u);
  EXPECT_EQ(rates->framesPerSecond, 1u);
}

}  // namespace
}  // namespace tvx

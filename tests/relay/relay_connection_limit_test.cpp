#include "relay_connection_limit.h"

#include <gtest/gtest.h>

namespace tvx::relay {
namespace {

TEST(ConnectionLimitTest, StaysWithinWhatTheProcessMayHold) {
  struct Case {
    std::size_t requested, descriptors, expected;
  };
  const Case cases[] = {
      {20000, 0, 20000},             // no per-process limit
      {20000, 1024, 1024 - 32},      // the usual default: a little kept back
      {20000, 1048576, 20000},       // plenty
      {500, 1024, 500},              // asked for less than fits
      {20000, 40, 30},               // a tiny budget keeps a quarter back
      {20000, 1, 1},                 // never none at all
      {0, 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EffectiveConnectionLimit(c.requested, c.descriptors), c.expected)
        << c.requested << " asked, " << c.descriptors << " descriptors";
  }
}

}  // namespace
}  // namespace tvx::relay

#include "host/shared_screens.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

std::vector<MonitorInfo> Attached(std::initializer_list<std::uint32_t> indices) {
  std::vector<MonitorInfo> monitors;
  for (const std::uint32_t index : indices) {
    MonitorInfo m;
    m.index = index;
    m.desktopRect = {static_cast<std::int32_t>(index) * 100, 0, static_cast<std::int32_t>(index) * 100 + 100, 100};
    monitors.push_back(m);
  }
  return monitors;
}

std::vector<std::uint32_t> Indices(const std::vector<MonitorInfo>& monitors) {
  std::vector<std::uint32_t> indices;
  for (const MonitorInfo& m : monitors) indices.push_back(m.index);
  return indices;
}

TEST(SharedScreens, MaskBitsChooseAndAnEmptyChoiceMeansAll) {
  struct Case {
    std::uint32_t mask;
    std::vector<std::uint32_t> shared;
  };
  const Case cases[] = {
      {0b011, {0, 1}},
      {0b100, {2}},
      {0, {0, 1, 2}},  // nothing chosen: every monitor
      {0b1000, {0, 1, 2}},  // bit 3 names no attached monitor
      {0xFFFFFFFF, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(Indices(SharedScreens(Attached({0, 1, 2}), c.mask)), c.shared);
  }
  // No mask bit can name monitor 40: it is always shared.
  EXPECT_EQ(Indices(SharedScreens(Attached({0, 1, 40}), 0b10)), (std::vector<std::uint32_t>{1, 40}));
  EXPECT_EQ(Indices(SharedScreens(Attached({0, 1, 40}), 0)), (std::vector<std::uint32_t>{40}));
  EXPECT_TRUE(SharedScreens({}, 0b1).empty());
}

TEST(SharedScreens, ContainsLooksAtIndicesNotPositions) {
  const auto shared = SharedScreens(Attached({0, 1, 2}), 0b101);
  EXPECT_TRUE(ContainsScreen(shared, 2));
  EXPECT_FALSE(ContainsScreen(shared, 1));
  EXPECT_FALSE(ContainsScreen(shared, 5));
}

}  // namespace
}  // namespace tvx

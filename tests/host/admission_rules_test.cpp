#include "host/admission_rules.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(AccessCode, MatchesCaseInsensitivelyWithTheSameLength) {
  struct Case {
    const char* configured;
    const char* given;
    bool matches;
  };
  const Case cases[] = {
      {"", "", true},            {"", "anything", true},     {"ABC234", "ABC234", true},
      {"ABC234", "abc234", true}, {"abc234", "ABC234", true}, {"ABC234", "ABC23", false},
      {"ABC234", "ABC2345", false}, {"ABC234", "ABD234", false}, {"ABC234", "", false},
      // Only ASCII letters fold; other bytes compare as they are.
      {"\xC3\xA9", "\xC3\x89", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AccessCodeMatches(c.configured, c.given), c.matches) << c.configured << " vs " << c.given;
  }
}

TEST(ViewerLimit, IsClampedToOneToEight) {
  const std::pair<std::int32_t, std::uint32_t> cases[] = {
      {-5, 1}, {0, 1}, {1, 1}, {4, 4}, {8, 8}, {9, 8}, {20, 8}, {INT32_MIN, 1}, {INT32_MAX, 8}};
  for (const auto& [configured, limit] : cases) EXPECT_EQ(ClampViewerLimit(configured), limit) << configured;
}

TEST(ViewerIdentity, ColoursRepeatEveryEightViewers) {
  const std::uint32_t palette[8] = {0xFF25E07A, 0xFF3FA9FF, 0xFFFFC533, 0xFFFF5C7A,
                                    0xFFB98CFF, 0xFF4FE3D2, 0xFFFF9A4D, 0xFFE8E36B};
  for (std::uint32_t id = 1; id <= 17; ++id) EXPECT_EQ(ViewerColour(id), palette[(id - 1) % 8]) << id;
}

TEST(ViewerIdentity, NamesFallBackToTheNumber) {
  EXPECT_EQ(ViewerName("", 1), L"Viewer 1");
  EXPECT_EQ(ViewerName("", 12), L"Viewer 12");
  EXPECT_EQ(ViewerName("anna", 3), L"anna");
  EXPECT_EQ(ViewerName("J\xC3\xBCrgen", 3), L"J\u00FCrgen");
}

}  // namespace
}  // namespace tvx

#include <gtest/gtest.h>

#include <cstdint>

#include "ui/hsv.h"
#include "ui/theme.h"

namespace tvx::ui {
namespace {

TEST(ThemeTest, OnAccentFollowsTheAccentsLuminance) {
  struct Case {
    std::uint32_t accent;
    std::uint32_t on_accent;
  } cases[] = {
      {0xFFFFFFFF, 0xFF0C1210},  // white
      {0xFF202020, 0xFFFFFFFF},  // dark grey
      {0xFF25E07A, 0xFF0C1210},  // the default green: luminance 0.65
      {0xFF3FA9FF, 0xFFFFFFFF},  // blue: luminance 0.58
      {0x00FFFFFF, 0xFF0C1210},  // a transparent accent is made opaque first
  };
  for (const Case& c : cases) {
    const Theme theme = ThemeFromAccent(c.accent);
    EXPECT_EQ(theme[ThemeColour::OnAccent], c.on_accent) << std::hex << c.accent;
    EXPECT_EQ(theme[ThemeColour::Accent], c.accent | 0xFF000000u);
  }
}

TEST(ThemeTest, FixedSlotsAndAccentLight) {
  const Theme theme = ThemeFromAccent(0x80102030);
  EXPECT_EQ(theme[ThemeColour::Background], 0xFF14161Au);
  EXPECT_EQ(theme[ThemeColour::Inset], 0xFF15181Du);
  EXPECT_EQ(theme[ThemeColour::TextDim], 0xFF6B7484u);
  EXPECT_EQ(theme[ThemeColour::Shadow], 0x66000000u);
  EXPECT_EQ(theme[ThemeColour::Accent], 0xFF102030u);
  // 0x10 + (255 - 16) * 0.18 = 59.02 -> 59; 0x20 -> 72.1 -> 72; 0x30 -> 85.3 -> 85.
  EXPECT_EQ(theme[ThemeColour::AccentLight], 0xFF3B4855u);
  EXPECT_EQ(theme.card_radius, 7);
  EXPECT_EQ(theme.control_radius, 4);
}

TEST(ThemeTest, MixMovesChannelsAndKeepsAlpha) {
  struct Case {
    std::uint32_t colour;
    float amount;
    std::uint32_t mixed;
  } cases[] = {
      {0x80646464, 0.5f, 0x80B1B1B1},    // 100 + 155 * 0.5 = 177.5 -> 177
      {0xFF646464, -0.5f, 0xFF323232},   // toward black
      {0xFF123456, 0.0f, 0xFF123456},
      {0xFF123456, 1.0f, 0xFFFFFFFF},
      {0xFF123456, -3.0f, 0xFF000000},   // clamped to -1
      {0xFF25E07A, -0.55f, 0xFF106436},  // a disabled primary button
  };
  for (const Case& c : cases) EXPECT_EQ(MixColour(c.colour, c.amount), c.mixed) << c.amount;
}

TEST(ThemeTest, Luminance) {
  EXPECT_FLOAT_EQ(Luminance(0xFFFFFFFF), 1.0f);
  EXPECT_FLOAT_EQ(Luminance(0xFF000000), 0.0f);
  EXPECT_NEAR(Luminance(0xFFFF0000), 0.299f, 1e-6);
  EXPECT_NEAR(Luminance(0x0000FF00), 0.587f, 1e-6);  // alpha plays no part
}

TEST(HsvTest, KnownColoursBothWays) {
  struct Case {
    std::uint32_t rgb;
    Hsv hsv;
  } cases[] = {
      {0xFFFF0000, {0, 1, 1}},     {0xFF00FF00, {120, 1, 1}},     {0xFF0000FF, {240, 1, 1}},
      {0xFFFFFF00, {60, 1, 1}},    {0xFFFF00FF, {300, 1, 1}},     {0xFF000000, {0, 0, 0}},
      {0xFFFFFFFF, {0, 0, 1}},     {0xFF808080, {0, 0, 128 / 255.0f}},
  };
  for (const Case& c : cases) {
    const Hsv hsv = ToHsv(c.rgb);
    EXPECT_NEAR(hsv.hue, c.hsv.hue, 0.01) << std::hex << c.rgb;
    EXPECT_NEAR(hsv.saturation, c.hsv.saturation, 0.001);
    EXPECT_NEAR(hsv.value, c.hsv.value, 0.001);
    EXPECT_EQ(FromHsv(c.hsv), c.rgb);
  }
  EXPECT_EQ(FromHsv({360, 1, 1}), 0xFFFF0000u);  // 360 wraps to red
  EXPECT_EQ(FromHsv({-120, 1, 1}), 0xFF0000FFu);
}

TEST(HsvTest, RoundTripKeepsEveryChannelWithinOne) {
  for (std::uint32_t rgb : {0xFF25E07Au, 0xFF3FA9FFu, 0xFFB07BFFu, 0xFF0C1210u, 0xFFFF7A29u}) {
    const std::uint32_t back = FromHsv(ToHsv(rgb));
    for (int shift = 0; shift <= 16; shift += 8) {
      const int a = static_cast<int>((rgb >> shift) & 0xFF);
      const int b = static_cast<int>((back >> shift) & 0xFF);
      EXPECT_LE(std::abs(a - b), 1) << std::hex << rgb;
    }
  }
}

}  // namespace
}  // namespace tvx::ui

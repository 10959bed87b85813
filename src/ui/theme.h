// The interface colours, derived from the user's accent colour.
#pragma once

#include <array>
#include <cstdint>

namespace tvx::ui {

enum class ThemeColour : std::uint8_t {
  Background = 0,
  Panel = 1,
  Control = 2,
  ControlHover = 3,
  Inset = 4,
  Border = 5,
  BorderHover = 6,
  Text = 7,
  TextSecondary = 8,
  TextDim = 9,
  Accent = 10,
  AccentLight = 11,
  OnAccent = 12,
  Danger = 13,
  Warning = 14,
  Shadow = 15,
};
inline constexpr int kThemeColourCount = 16;

// The accent the program starts with before settings say otherwise.
inline constexpr std::uint32_t kDefaultAccent = 0xFF25E07A;

struct Theme {
  std::array<std::uint32_t, kThemeColourCount> colours{};
  float card_radius = 7;
  float control_radius = 4;  // controls draw with control_radius + 2

  std::uint32_t operator[](ThemeColour slot) const { return colours[static_cast<int>(slot)]; }
  bool operator==(const Theme&) const = default;
};

// The fixed slots, Accent = `accent` with alpha 255, AccentLight = Accent mixed 18 % toward white,
// OnAccent by the luminance rule.
Theme ThemeFromAccent(std::uint32_t accent);

// (0.299 R + 0.587 G + 0.114 B) / 255 of the 8-bit channels.
float Luminance(std::uint32_t argb);

// Moves each channel toward 255 (amount > 0) or 0 (amount < 0) by |amount| of the distance,
// truncated; alpha unchanged. `amount` is clamped to -1..1.
std::uint32_t MixColour(std::uint32_t argb, float amount);

// The text colour on a fill: #0C1210 when the fill's luminance is above 0.6, else white.
std::uint32_t TextOnFill(std::uint32_t fill);

inline std::uint32_t Opaque(std::uint32_t argb) { return argb | 0xFF000000u; }

}  // namespace tvx::ui

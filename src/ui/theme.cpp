#include "ui/theme.h"

#include <algorithm>

namespace tvx::ui {

float Luminance(std::uint32_t argb) {
  const float r = static_cast<float>((argb >> 16) & 0xFF);
  const float g = static_cast<float>((argb >> 8) & 0xFF);
  const float b = static_cast<float>(argb & 0xFF);
  return (0.299f * r + 0.587f * g + 0.114f * b) / 255.0f;
}

std::uint32_t MixColour(std::uint32_t argb, float amount) {
  amount = std::clamp(amount, -1.0f, 1.0f);
  const float target = amount > 0 ? 255.0f : 0.0f;
  const float share = amount < 0 ? -amount : amount;
  std::uint32_t out = argb & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const float c = static_cast<float>((argb >> shift) & 0xFF);
    const int mixed = std::clamp(static_cast<int>(c + (target - c) * share), 0, 255);
    out |= static_cast<std::uint32_t>(mixed) << shift;
  }
  return out;
}

std::uint32_t TextOnFill(std::uint32_t fill) { return Luminance(fill) > 0.6f ? 0xFF0C1210u : 0xFFFFFFFFu; }

Theme ThemeFromAccent(std::uint32_t accent) {
  Theme t;
  t.colours = {0xFF14161A, 0xFF1A1D23, 0xFF1E222A, 0xFF262B35, 0xFF15181D, 0xFF2E343F, 0xFF3C4453, 0xFFEDF0F5,
               0xFF9AA4B4, 0xFF6B7484, 0,          0,          0,          0xFFFF5C6B, 0xFFFFC533, 0x66000000};
  const std::uint32_t opaque = Opaque(accent);
  t.colours[static_cast<int>(ThemeColour::Accent)] = opaque;
  t.colours[static_cast<int>(ThemeColour::AccentLight)] = MixColour(opaque, 0.18f);
  t.colours[static_cast<int>(ThemeColour::OnAccent)] = TextOnFill(opaque);
  return t;
}

}  // namespace tvx::ui

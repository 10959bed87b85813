// Hue, saturation and value of opaque colours, for the colour picker.
#pragma once

#include <cstdint>

namespace tvx::ui {

struct Hsv {
  float hue = 0;         // degrees, 0..360
  float saturation = 0;  // 0..1
  float value = 0;       // 0..1
};

// Hue 0 for greys.
Hsv ToHsv(std::uint32_t argb);
// The sector formula; channels rounded from (component + m) · 255; alpha 255.
std::uint32_t FromHsv(const Hsv& hsv);

}  // namespace tvx::ui

#include "ui/hsv.h"

#include <algorithm>
#include <cmath>

namespace tvx::ui {

Hsv ToHsv(std::uint32_t argb) {
  const float r = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
  const float g = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
  const float b = static_cast<float>(argb & 0xFF) / 255.0f;
  const float high = std::max({r, g, b});
  const float low = std::min({r, g, b});
  const float chroma = high - low;
  Hsv hsv;
  hsv.value = high;
  hsv.saturation = high > 0 ? chroma / high : 0;
  if (chroma > 0) {
    float hue;
    if (high == r) {
      hue = std::fmod((g - b) / chroma, 6.0f);
    } else if (high == g) {
      hue = (b - r) / chroma + 2;
    } else {
      hue = (r - g) / chroma + 4;
    }
    hue *= 60;
    if (hue < 0) hue += 360;
    hsv.hue = hue;
  }
  return hsv;
}

std::uint32_t FromHsv(const Hsv& hsv) {
  float hue = std::fmod(hsv.hue, 360.0f);
  if (hue < 0) hue += 360;
  const float s = std::clamp(hsv.saturation, 0.0f, 1.0f);
  const float v = std::clamp(hsv.value, 0.0f, 1.0f);
  const float chroma = v * s;
  const float sector = hue / 60.0f;
  const float x = chroma * (1 - std::fabs(std::fmod(sector, 2.0f) - 1));
  const float m = v - chroma;
  float r = 0, g = 0, b = 0;
  switch (static_cast<int>(sector)) {
    case 0: r = chroma; g = x; break;
    case 1: r = x; g = chroma; break;
    case 2: g = chroma; b = x; break;
    case 3: g = x; b = chroma; break;
    case 4: r = x; b = chroma; break;
    default: r = chroma; b = x; break;
  }
  auto channel = [m](float c) {
    return static_cast<std::uint32_t>(std::clamp(static_cast<int>(std::lround((c + m) * 255.0f)), 0, 255));
  };
  return 0xFF000000u | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

}  // namespace tvx::ui

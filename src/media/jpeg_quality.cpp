#include <algorithm>

#include "media/jpeg_codec.h"

namespace tvx {

std::uint32_t ClampJpegQuality(std::uint32_t quality) { return std::clamp<std::uint32_t>(quality, 5, 100); }

float JpegQualityFraction(std::uint32_t quality) {
  return std::clamp(static_cast<float>(quality) / 100.0f, 0.05f, 1.0f);
}

}  // namespace tvx

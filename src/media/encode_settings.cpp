#include "media/encode_settings.h"

#include <algorithm>

namespace tvx {

EncodeSettings EncodeSettingsForLevel(std::uint32_t quality, bool compressColour, std::uint32_t level) {
  quality = std::clamp<std::uint32_t>(quality, 5, 100);
  switch (level) {
    case 0:
      return {quality, compressColour};
    case 1:
      return {quality, true};
    case 2:
      return {std::max<std::uint32_t>(quality * 3 / 4, 35), true};
    default:
      return {std::max<std::uint32_t>(quality * 55 / 100, 22), true};
  }
}

std::uint32_t EncoderWorkerCount(std::uint32_t processorCount) {
  if (processorCount <= 1) return 1;
  return std::min<std::uint32_t>(processorCount / 2, 6);
}

}  // namespace tvx

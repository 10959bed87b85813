// How the picture is encoded at each picture level, and how many encoder workers a machine gets.
#pragma once

#include <cstdint>

namespace tvx {

struct EncodeSettings {
  std::uint32_t quality = 62;  // JPEG quality in percent
  bool subsample420 = false;   // true: 4:2:0 chroma; false: 4:4:4
};

// Level 0 uses the quality and the compress-colour choice as they are; level 1 keeps the quality
// but forces 4:2:0; level 2 uses max(quality * 3 / 4, 35) and level 3 max(quality * 55 / 100, 22),
// both with 4:2:0. Levels above 3 count as 3; the quality is first kept within 5 .. 100.
EncodeSettings EncodeSettingsForLevel(std::uint32_t quality, bool compressColour, std::uint32_t level);

// Encoder workers for a machine with this many processors (0 counts as 1): 1 for one processor,
// else half of them, at most 6.
std::uint32_t EncoderWorkerCount(std::uint32_t processorCount);

// The picture's edge after scaling: half resolution rounds up.
inline std::uint32_t ScaledEdge(std::uint32_t edge, std::uint32_t scale) {
  return scale >= 2 ? (edge + 1) / 2 : edge;
}

}  // namespace tvx

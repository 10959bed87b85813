// Expansion of decoded 24-bit B, G, R pixels into the framebuffer's 32-bit B, G, R, A layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/cpu_features.h"

namespace tvx {

// `pixels` pixels from `bgr` (3 bytes each) to `bgra` (4 bytes each, alpha 255), one by one.
void BgrToBgraScalar(const std::uint8_t* bgr, std::uint8_t* bgra, std::size_t pixels);

// The same with 16-byte shuffles, four pixels per step, the remainder one by one. It never reads
// past the last source pixel. Only call it when CpuHasSsse3() is true.
void BgrToBgraShuffle(const std::uint8_t* bgr, std::uint8_t* bgra, std::size_t pixels);

}  // namespace tvx

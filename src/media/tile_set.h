// The fixed set of tiles a grid can have: one bit per tile, index = row * columns + column.
#pragma once

#include <bitset>
#include <cstdint>

namespace tvx {

// A grid never has more tiles than this, so every set is 64 words of 64 bits and any tile index
// fits in 16 bits.
inline constexpr std::uint32_t kMaxTiles = 4096;

using TileSet = std::bitset<kMaxTiles>;

}  // namespace tvx

// Compiled with SSE4.2 enabled; reached only after CpuHasSse42() said yes.
#include <nmmintrin.h>

#include <cstring>

#include "media/tile_hash.h"

namespace tvx {

std::uint64_t TileHashCrc32c(const TileBytes& tile) {
  std::uint64_t crc = 0xFFFFFFFFu;
  const std::uint8_t* row = tile.first;
  for (std::uint32_t r = 0; r < tile.rows; ++r, row += tile.stride) {
    const std::uint8_t* p = row;
    std::uint32_t left = tile.rowBytes;
    while (left >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);  // rows need not be 8-byte aligned
      crc = _mm_crc32_u64(crc, word);
      p += 8;
      left -= 8;
    }
    std::uint32_t narrow = static_cast<std::uint32_t>(crc);
    while (left > 0) {
      narrow = _mm_crc32_u8(narrow, *p++);
      --left;
    }
    crc = narrow;
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace tvx

// Content hashes of one tile of a BGRA framebuffer, used to tell tiles that really changed from
// tiles a source merely reported.
#pragma once

#include <cstdint>

#include "foundation/cpu_features.h"

namespace tvx {

// Where a tile's bytes are: `rows` rows of `rowBytes` bytes, `stride` bytes apart.
struct TileBytes {
  const std::uint8_t* first = nullptr;
  std::uint32_t rowBytes = 0;
  std::uint32_t rows = 0;
  std::uint32_t stride = 0;
};

// CRC-32C (Castagnoli) with the processor's instruction: started with all bits set, carried over
// all rows, no final inversion, widened to 64 bits. Only call it when CpuHasSse42() is true.
std::uint64_t TileHashCrc32c(const TileBytes& tile);

// 64-bit FNV-1a over every byte, from a basis of our own (0x14650FB0739D0383).
std::uint64_t TileHashFnv1a(const TileBytes& tile);

using TileHashFunction = std::uint64_t (*)(const TileBytes& tile);

// The hash this processor uses, chosen once per process. Never returns 0 for a tile: a zero result
// becomes 1, because a stored 0 means "no hash yet".
std::uint64_t TileHash(const TileBytes& tile);

// Whether TileHash runs on the CRC-32C instruction (for logs and benchmarks).
bool TileHashUsesCrc32c();

}  // namespace tvx

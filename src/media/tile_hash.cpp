#include "media/tile_hash.h"

namespace tvx {

std::uint64_t TileHashFnv1a(const TileBytes& tile) {
  std::uint64_t hash = 0x14650FB0739D0383ull;
  const std::uint8_t* row = tile.first;
  for (std::uint32_t r = 0; r < tile.rows; ++r, row += tile.stride) {
    for (std::uint32_t i = 0; i < tile.rowBytes; ++i) {
      hash ^= row[i];
      hash *= 0x100000001B3ull;
    }
  }
  return hash;
}

namespace {

TileHashFunction ChooseTileHash() { return CpuHasSse42() ? TileHashCrc32c : TileHashFnv1a; }

// Chosen on first use (thread-safe static); the processor does not change under us.
TileHashFunction SelectedTileHash() {
  static const TileHashFunction selected = ChooseTileHash();
  return selected;
}

}  // namespace

std::uint64_t TileHash(const TileBytes& tile) {
  const std::uint64_t hash = SelectedTileHash()(tile);
  return hash == 0 ? 1 : hash;
}

bool TileHashUsesCrc32c() { return SelectedTileHash() == TileHashCrc32c; }

}  // namespace tvx

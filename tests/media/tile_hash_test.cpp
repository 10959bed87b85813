#include "media/tile_hash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvx {
namespace {

// Bit-at-a-time CRC-32C (reflected polynomial 0x82F63B78), no final inversion.
std::uint32_t ReferenceCrc32c(const TileBytes& t) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint32_t r = 0; r < t.rows; ++r) {
    for (std::uint32_t i = 0; i < t.rowBytes; ++i) {
      crc ^= t.first[r * t.stride + i];
      for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1u)));
    }
  }
  return crc;
}

TileBytes Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), static_cast<std::uint32_t>(s.size()), 1, 0};
}

TEST(TileHashTest, KnownValues) {
  // The standard check value of CRC-32C is 0xE3069283 with the final inversion we leave out.
  const std::string check = "123456789";
  EXPECT_EQ(ReferenceCrc32c(Bytes(check)), 0x1CF96D7Cu);
  // FNV-1a from our basis over "a": (basis ^ 0x61) * prime.
  const std::uint64_t expected = (0x14650FB0739D0383ull ^ 0x61) * 0x100000001B3ull;
  EXPECT_EQ(TileHashFnv1a(Bytes("a")), expected);
  EXPECT_EQ(TileHashFnv1a(Bytes("")), 0x14650FB0739D0383ull);
  if (CpuHasSse42()) {
    EXPECT_EQ(TileHashCrc32c(Bytes(check)), 0x1CF96D7Cu);
  }
}

TEST(TileHashTest, BothHashesOnTheSameTiles) {
  // A framebuffer with padding after each row; tiles with row lengths that leave 0..7 tail bytes.
  const std::uint32_t stride = 1000;
  std::vector<std::uint8_t> fb(stride * 40);
  std::uint32_t seed = 12345;
  for (auto& b : fb) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  for (std::uint32_t rowBytes : {1u, 4u, 7u, 8u, 9u, 15u, 16u, 344u, 512u}) {
    SCOPED_TRACE(rowBytes);
    const TileBytes tile{fb.data() + 3, rowBytes, 37, stride};  // misaligned start
    const std::uint64_t fnv = TileHashFnv1a(tile);
    if (CpuHasSse42()) {
      EXPECT_EQ(TileHashCrc32c(tile), ReferenceCrc32c(tile));
    }
    // Rows are hashed as they stand in memory: bytes outside the tile do not count...
    std::vector<std::uint8_t> copy = fb;
    copy[3 + rowBytes] ^= 0xFF;
    const TileBytes same{copy.data() + 3, rowBytes, 37, stride};
    EXPECT_EQ(TileHashFnv1a(same), fnv);
    if (CpuHasSse42()) {
      EXPECT_EQ(TileHashCrc32c(same), TileHashCrc32c(tile));
    }
    // ...and any byte inside does, in the last row too.
    copy[3 + 36 * stride + rowBytes - 1] ^= 0x01;
    EXPECT_NE(TileHashFnv1a(same), fnv);
    if (CpuHasSse42()) {
      EXPECT_NE(TileHashCrc32c(same), TileHashCrc32c(tile));
    }
    EXPECT_NE(TileHash(same), TileHash(tile));
  }
  EXPECT_EQ(TileHashUsesCrc32c(), CpuHasSse42());
}

}  // namespace
}  // namespace tvx

#include "media/tile_grid.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/log_capture.h"

namespace tvx {
namespace {

std::vector<std::uint32_t> ChangedTiles(const TileGrid& grid) {
  std::vector<std::uint32_t> tiles;
  for (std::uint32_t t = 0; t < grid.tileCount(); ++t) {
    if (grid.changed().test(t)) tiles.push_back(t);
  }
  return tiles;
}

TEST(TileGeometryTest, GridSizesAndRaisedTileSize) {
  struct Case {
    std::uint32_t width, height, tileSize, tilesX, tilesY;
  };
  const Case cases[] = {
      {1366, 768, 128, 11, 6},     {1920, 1080, 128, 15, 9},   {7680, 4320, 128, 60, 34},
      {8192, 8192, 128, 64, 64},   {8193, 8192, 256, 33, 32},  {16384, 16384, 256, 64, 64},
      {16384, 1, 128, 128, 1},     {1, 1, 128, 1, 1},          {0, 0, 128, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    const TileGeometry g = ComputeTileGeometry(c.width, c.height);
    EXPECT_EQ(g.tileSize, c.tileSize);
    EXPECT_EQ(g.tilesX, c.tilesX);
    EXPECT_EQ(g.tilesY, c.tilesY);
    EXPECT_LE(g.tilesX * g.tilesY, kMaxTiles);
  }
}

TEST(TileGridTest, ResetLogsOnlyARaisedTileSize) {
  tvx::testing::LogCapture log;
  TileGrid grid;
  grid.Reset(1366, 768);
  EXPECT_FALSE(log.Contains(L"Large desktop"));
  EXPECT_EQ(grid.stride(), 1366u * 4);
  grid.Reset(8193, 8192);
  EXPECT_EQ(log.Count(L"Large desktop: tile size raised to 256"), 1u);
  EXPECT_EQ(grid.tileSize(), 256u);
  grid.Clear();
  EXPECT_EQ(grid.width(), 0u);
  EXPECT_EQ(grid.tileCount(), 0u);
}

TEST(TileGridTest, MarkRectClipsAndSkipsEmptyRectangles) {
  TileGrid grid;
  grid.Reset(1366, 768);  // 11 x 6 tiles, last column 86 px wide
  struct Case {
    const char* name;
    std::int64_t left, top, right, bottom;
    std::vector<std::uint32_t> tiles;
  };
  const Case cases[] = {
      {"one pixel", 0, 0, 1, 1, {0}},
      {"exact tile", 128, 0, 256, 128, {1}},
      {"edge of next tile", 127, 127, 129, 129, {0, 1, 11, 12}},
      {"hanging out top-left", -500, -500, 10, 10, {0}},
      {"hanging out bottom-right", 1300, 700, 99999, 99999, {65}},
      {"whole picture and more", -1, -1, 5000, 5000, {}},  // filled below: every tile
      {"zero width", 100, 100, 100, 200, {}},
      {"inverted", 300, 300, 200, 200, {}},
      {"entirely right of the picture", 1366, 0, 2000, 10, {}},
      {"entirely below the picture", 0, 768, 10, 900, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    grid.ClearChanged();
    grid.MarkRectChanged(c.left, c.top, c.right, c.bottom);
    std::vector<std::uint32_t> expected = c.tiles;
    if (std::string(c.name) == "whole picture and more") {
      for (std::uint32_t t = 0; t < 66; ++t) expected.push_back(t);
    }
    EXPECT_EQ(ChangedTiles(grid), expected);
  }
}

TEST(TileGridTest, RollingRefreshSpreadsAFullRepaintOver72Frames) {
  struct Case {
    std::uint32_t width, height, perFrame;
  };
  const Case cases[] = {{1280, 1280, 1}, {128, 128, 1}, {8192, 8192, 56}, {1920, 1080, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    TileGrid grid;
    grid.Reset(c.width, c.height);
    grid.RollingRefresh();
    EXPECT_EQ(grid.changed().count(), c.perFrame);
    EXPECT_EQ(grid.sweepCursor(), c.perFrame % grid.tileCount());
  }
  // The sweep wraps round and keeps covering every tile.
  TileGrid grid;
  grid.Reset(300, 200);  // 3 x 2 tiles
  for (int i = 0; i < 7; ++i) grid.RollingRefresh();
  EXPECT_EQ(grid.changed().count(), 6u);
  EXPECT_EQ(grid.sweepCursor(), 1u);
}

TEST(TileGridTest, HashingKeepsOnlyTilesWhoseContentChanged) {
  TileGrid grid;
  grid.Reset(1366, 768);
  grid.MarkAllChanged();
  grid.HashChangedTiles();  // no hash yet: every tile stays changed, even all zeros
  EXPECT_EQ(grid.changed().count(), 66u);
  for (std::uint32_t t = 0; t < 66; ++t) EXPECT_NE(grid.tileHash(t), 0u);

  // A reported rectangle whose pixels are the same hashes equal and is dropped.
  grid.ClearChanged();
  grid.MarkRectChanged(0, 0, 1366, 768);
  grid.HashChangedTiles();
  EXPECT_TRUE(grid.changed().none());

  // One pixel in the narrow last column, one in the last row: exactly those tiles.
  std::uint8_t* fb = grid.framebuffer();
  fb[(700 * 1366 + 1365) * 4 + 2] = 9;
  fb[(767 * 1366 + 5) * 4] = 1;
  grid.MarkRectChanged(0, 0, 1366, 768);
  grid.HashChangedTiles();
  EXPECT_EQ(ChangedTiles(grid), (std::vector<std::uint32_t>{55, 65}));

  // Forgetting hashes makes unchanged tiles count again.
  grid.MarkAllChangedAndForgetHashes();
  grid.HashChangedTiles();
  EXPECT_EQ(grid.changed().count(), 66u);
}

TEST(TileGridTest, CopiesOnlyBandsWithChangedTiles) {
  TileGrid grid;
  grid.Reset(300, 300);  // 3 x 3 tiles
  std::vector<std::uint8_t> image(300 * 300 * 4, 0x55);
  const std::uint32_t pitch = 300 * 4 + 64;  // a mapped texture may pad its rows
  std::vector<std::uint8_t> padded(static_cast<std::size_t>(pitch) * 300, 0x77);
  grid.MarkRectChanged(290, 130, 291, 131);  // tile row 1 only
  grid.CopyChangedBands(padded.data(), pitch);
  const std::uint8_t* fb = grid.framebuffer();
  EXPECT_EQ(fb[(127 * 300 + 0) * 4], 0);     // row band 0 untouched
  EXPECT_EQ(fb[(128 * 300 + 0) * 4], 0x77);  // band 1 copied across its full width
  EXPECT_EQ(fb[(255 * 300 + 299) * 4 + 3], 0x77);
  EXPECT_EQ(fb[(256 * 300 + 0) * 4], 0);  // band 2 untouched
  grid.MarkRectChanged(0, 299, 1, 300);   // the short last band
  grid.CopyChangedBands(image.data(), 300 * 4);
  EXPECT_EQ(fb[(299 * 300 + 299) * 4], 0x55);
}

}  // namespace
}  // namespace tvx

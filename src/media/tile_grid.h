// A captured picture in main memory, cut into square tiles, with the bookkeeping that tells which
// tiles really changed: marked rectangles, a rolling refresh and per-tile content hashes.
#pragma once

#include <cstdint>
#include <vector>

#include "media/tile_set.h"

namespace tvx {

struct TileGeometry {
  std::uint32_t tileSize = 0;
  std::uint32_t tilesX = 0;
  std::uint32_t tilesY = 0;
};

// 128-pixel tiles, doubled until the grid has at most kMaxTiles tiles.
TileGeometry ComputeTileGeometry(std::uint32_t width, std::uint32_t height);

class TileGrid {
 public:
  static constexpr std::uint32_t kBaseTileSize = 128;
  // The rolling refresh repaints the whole grid over this many frames with new images.
  static constexpr std::uint32_t kRefreshFrames = 72;

  // Sizes the grid for a picture (logging when the tile size had to be raised), zero-fills the
  // framebuffer, forgets every hash, clears the changed set and restarts the rolling refresh.
  void Reset(std::uint32_t width, std::uint32_t height);
  // Back to an empty grid; the storage is kept for the next Reset.
  void Clear();

  // Marks the tiles a rectangle touches (right and bottom exclusive), clipped to the picture.
  void MarkRectChanged(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);
  void MarkAllChanged();
  // Every tile changed and every hash forgotten, so all of them are sent whatever they hold.
  void MarkAllChangedAndForgetHashes();
  // Marks the next max(1, tiles / 72) tiles of the sweep changed and forgets their hashes.
  void RollingRefresh();
  void ClearChanged() { changed_.reset(); }

  // Copies the bands of rows that hold a changed tile from an image of the same size.
  void CopyChangedBands(const std::uint8_t* image, std::uint32_t pitch);
  // Hashes every changed tile; clears the bits of tiles whose hash did not change.
  void HashChangedTiles();

  std::uint8_t* framebuffer() { return framebuffer_.data(); }
  const std::uint8_t* framebuffer() const { return framebuffer_.data(); }
  std::uint32_t stride() const { return width_ * 4; }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  std::uint32_t tileSize() const { return tileSize_; }
  std::uint32_t tilesX() const { return tilesX_; }
  std::uint32_t tilesY() const { return tilesY_; }
  std::uint32_t tileCount() const { return tilesX_ * tilesY_; }
  std::uint32_t sweepCursor() const { return sweepCursor_; }
  const TileSet& changed() const { return changed_; }
  std::uint64_t tileHash(std::uint32_t tile) const { return tileHash_[tile]; }

 private:
  std::vector<std::uint8_t> framebuffer_;  // B, G, R, A; stride = width * 4
  std::vector<std::uint64_t> tileHash_;    // 0: no hash yet, the tile counts as changed
  TileSet changed_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t tileSize_ = 0;
  std::uint32_t tilesX_ = 0;
  std::uint32_t tilesY_ = 0;
  std::uint32_t sweepCursor_ = 0;
};

}  // namespace tvx

#include "media/tile_grid.h"

#include <algorithm>
#include <cstring>

#include "foundation/log.h"
#include "media/tile_hash.h"

namespace tvx {

TileGeometry ComputeTileGeometry(std::uint32_t width, std::uint32_t height) {
  TileGeometry g;
  g.tileSize = TileGrid::kBaseTileSize;
  // 64-bit arithmetic: the products of large sizes must not wrap.
  auto tiles = [&](std::uint32_t size) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(size) + g.tileSize - 1) / g.tileSize);
  };
  g.tilesX = tiles(width);
  g.tilesY = tiles(height);
  while (static_cast<std::uint64_t>(g.tilesX) * g.tilesY > kMaxTiles) {
    g.tileSize *= 2;
    g.tilesX = tiles(width);
    g.tilesY = tiles(height);
  }
  return g;
}

void TileGrid::Reset(std::uint32_t width, std::uint32_t height) {
  const TileGeometry g = ComputeTileGeometry(width, height);
  if (g.tileSize != kBaseTileSize) Log(kLogWarning, L"Large desktop: tile size raised to %u", g.tileSize);
  width_ = width;
  height_ = height;
  tileSize_ = g.tileSize;
  tilesX_ = g.tilesX;
  tilesY_ = g.tilesY;
  framebuffer_.assign(static_cast<std::size_t>(width) * height * 4, 0);
  tileHash_.assign(static_cast<std::size_t>(tilesX_) * tilesY_, 0);
  changed_.reset();
  sweepCursor_ = 0;
}

void TileGrid::Clear() {
  framebuffer_.clear();
  tileHash_.clear();
  changed_.reset();
  width_ = height_ = 0;
  tilesX_ = tilesY_ = 0;
  sweepCursor_ = 0;
}

void TileGrid::MarkRectChanged(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
  const std::int64_t w = width_;
  const std::int64_t h = height_;
  left = std::clamp<std::int64_t>(left, 0, w);
  right = std::clamp<std::int64_t>(right, 0, w);
  top = std::clamp<std::int64_t>(top, 0, h);
  bottom = std::clamp<std::int64_t>(bottom, 0, h);
  if (right <= left || bottom <= top || tileSize_ == 0) return;
  const std::int64_t ts = tileSize_;
  const std::int64_t firstColumn = left / ts;
  const std::int64_t lastColumn = std::min<std::int64_t>((right + ts - 1) / ts - 1, tilesX_ - 1);
  const std::int64_t firstRow = top / ts;
  const std::int64_t lastRow = std::min<std::int64_t>((bottom + ts - 1) / ts - 1, tilesY_ - 1);
  for (std::int64_t row = firstRow; row <= lastRow; ++row) {
    for (std::int64_t column = firstColumn; column <= lastColumn; ++column) {
      changed_.set(static_cast<std::size_t>(row * tilesX_ + column));
    }
  }
}

void TileGrid::MarkAllChanged() {
  for (std::uint32_t t = 0; t < tileCount(); ++t) changed_.set(t);
}

void TileGrid::MarkAllChangedAndForgetHashes() {
  MarkAllChanged();
  std::fill(tileHash_.begin(), tileHash_.end(), 0);
}

void TileGrid::RollingRefresh() {
  const std::uint32_t total = tileCount();
  if (total == 0) return;
  const std::uint32_t count = std::max<std::uint32_t>(1, total / kRefreshFrames);
  for (std::uint32_t i = 0; i < count; ++i) {
    changed_.set(sweepCursor_);
    tileHash_[sweepCursor_] = 0;
    sweepCursor_ = (sweepCursor_ + 1) % total;
  }
}

void TileGrid::CopyChangedBands(const std::uint8_t* image, std::uint32_t pitch) {
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
  for (std::uint32_t row = 0; row < tilesY_; ++row) {
    bool any = false;
    for (std::uint32_t column = 0; column < tilesX_ && !any; ++column) any = changed_.test(row * tilesX_ + column);
    if (!any) continue;
    const std::uint32_t first = row * tileSize_;
    const std::uint32_t end = std::min(height_, first + tileSize_);
    for (std::uint32_t y = first; y < end; ++y) {
      std::memcpy(framebuffer_.data() + y * rowBytes, image + static_cast<std::size_t>(y) * pitch, rowBytes);
    }
  }
}

void TileGrid::HashChangedTiles() {
  const std::uint32_t total = tileCount();
  for (std::uint32_t t = 0; t < total; ++t) {
    if (!changed_.test(t)) continue;
    const std::uint32_t x0 = (t % tilesX_) * tileSize_;
    const std::uint32_t y0 = (t / tilesX_) * tileSize_;
    TileBytes bytes;
    bytes.first = framebuffer_.data() + static_cast<std::size_t>(y0) * stride() + static_cast<std::size_t>(x0) * 4;
    bytes.rowBytes = std::min(width_ - x0, tileSize_) * 4;
    bytes.rows = std::min(height_ - y0, tileSize_);
    bytes.stride = stride();
    const std::uint64_t hash = TileHash(bytes);
    if (hash == tileHash_[t]) {
      changed_.reset(t);
    } else {
      tileHash_[t] = hash;
    }
  }
}

}  // namespace tvx

#include "stream_marker.h"

#include <algorithm>

#include "media/tile_grid.h"

namespace tvx::cli {
namespace {

constexpr std::uint32_t kCells = 8;  // per side; 64 cells = 32 bits and their complement

bool CellBit(std::uint32_t sequence, std::uint32_t cell) {
  const std::uint32_t bit = (sequence >> (cell % 32)) & 1u;
  return (cell < 32 ? bit : bit ^ 1u) != 0;
}

}  // namespace

MarkerPlace MarkerPlaceFor(std::uint32_t width, std::uint32_t height) {
  const TileGeometry grid = ComputeTileGeometry(width, height);
  MarkerPlace place;
  if (grid.tileSize == 0 || width < grid.tileSize || height < grid.tileSize) return place;
  // Whole tiles only: the last column or row may be cut off at the picture's edge.
  const std::uint32_t fullColumns = width / grid.tileSize;
  const std::uint32_t fullRows = height / grid.tileSize;
  const auto at = [&](std::uint32_t edge, std::uint32_t percent) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(edge) * percent / 100 / grid.tileSize);
  };
  const std::uint32_t column = std::min(at(width, 90), fullColumns - 1);
  const std::uint32_t row = std::min(at(height, 78), fullRows - 1);
  place.x = column * grid.tileSize;
  place.y = row * grid.tileSize;
  place.size = grid.tileSize;
  return place;
}

void PaintMarker(std::uint8_t* bgra, std::uint32_t stride, const MarkerPlace& place, std::uint32_t sequence) {
  if (!place.Valid()) return;
  const std::uint32_t cell = place.size / kCells;
  for (std::uint32_t y = 0; y < place.size; ++y) {
    std::uint8_t* row = bgra + static_cast<std::size_t>(place.y + y) * stride + static_cast<std::size_t>(place.x) * 4;
    for (std::uint32_t cx = 0; cx < kCells; ++cx) {
      const std::uint8_t value = CellBit(sequence, (y / cell) * kCells + cx) ? 255 : 0;
      std::uint8_t* pixel = row + static_cast<std::size_t>(cx) * cell * 4;
      for (std::uint32_t x = 0; x < cell; ++x, pixel += 4) {
        pixel[0] = pixel[1] = pixel[2] = value;
        pixel[3] = 255;
      }
    }
  }
}

bool ReadMarker(const std::uint8_t* bgra, std::uint32_t stride, const MarkerPlace& place, std::uint32_t& sequence) {
  if (!place.Valid()) return false;
  const std::uint32_t cell = place.size / kCells;
  std::uint32_t value = 0;
  std::uint32_t complement = 0;
  for (std::uint32_t i = 0; i < kCells * kCells; ++i) {
    // The middle of the cell, away from any ringing at its edges; green carries the most luma.
    const std::uint32_t x = place.x + (i % kCells) * cell + cell / 2;
    const std::uint32_t y = place.y + (i / kCells) * cell + cell / 2;
    const std::uint8_t green = bgra[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4 + 1];
    const std::uint32_t bit = green >= 128 ? 1u : 0u;
    if (i < 32) {
      value |= bit << i;
    } else {
      complement |= bit << (i - 32);
    }
  }
  if (complement != ~value) return false;
  sequence = value;
  return true;
}

std::uint32_t MarkerLog::Stamp(std::int64_t micros) {
  std::lock_guard lock(mutex_);
  times_.push_back(micros);
  return static_cast<std::uint32_t>(times_.size());
}

bool MarkerLog::TimeOf(std::uint32_t sequence, std::int64_t& micros) const {
  std::lock_guard lock(mutex_);
  if (sequence == 0 || sequence > times_.size()) return false;
  micros = times_[sequence - 1];
  return true;
}

}  // namespace tvx::cli

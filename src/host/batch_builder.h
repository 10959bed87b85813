// One streaming turn's bookkeeping: which tiles each viewer still owes, the union encoded once
// for all of them, the batch each viewer gets, and the one-batch outbox whose replaced tiles are
// owed again. Plain data and logic without threads; the engine calls it under its own locks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "media/tile_set.h"

namespace tvx {

using TileBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct PictureBatch {
  std::uint32_t turn = 0;
  bool complete = false;  // every tile of the grid is in it
  std::vector<std::uint8_t> payload;  // a tile frame payload
  TileSet inFlight;                   // the tiles in the payload
  std::uint16_t tileCount = 0;
};

// Holds at most one batch. A batch handed over while the previous one is still waiting replaces
// it, and the replaced batch's tiles become owed again.
class PictureOutbox {
 public:
  // Returns true when an unsent batch was replaced (the viewer is late).
  bool HandOver(PictureBatch batch, TileSet& pending);
  std::optional<PictureBatch> Take();
  void Clear() { batch_.reset(); }
  bool full() const { return batch_.has_value(); }

 private:
  std::optional<PictureBatch> batch_;
};

class BatchBuilder {
 public:
  // Starts a turn for a grid of columns x rows tiles (at most kMaxTiles).
  void BeginTurn(std::uint32_t columns, std::uint32_t rows);

  // Merges this turn's changes into a viewer's owed tiles (every tile when it asked for a full
  // picture) and adds them to the union. Returns true when the viewer needs tiles.
  bool AddViewer(TileSet& pending, bool fullRefresh, const TileSet& changed);

  bool AnyNeeded() const { return union_.any(); }
  // The union's tile indices in increasing order: what the encoder pool is given.
  std::vector<std::uint32_t> TileList() const;
  // A result table indexed by tile index, sized for the grid, for the pool to fill.
  std::vector<TileBytes>& results() { return results_; }

  // Builds a viewer's batch from the encoded tiles, in tile order, cut before the first tile that
  // would take the payload past the frame cap. Taken tiles leave `pending`; tiles that failed to
  // encode stay. Nothing when no tile could be taken.
  std::optional<PictureBatch> Build(std::uint32_t turn, TileSet& pending) const;

  std::uint32_t total() const { return columns_ * rows_; }

 private:
  std::uint32_t columns_ = 0;
  std::uint32_t rows_ = 0;
  TileSet all_;
  TileSet union_;
  std::vector<TileBytes> results_;
};

}  // namespace tvx

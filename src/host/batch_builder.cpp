#include "host/batch_builder.h"

#include <algorithm>
#include <utility>

#include "net/connection.h"
#include "net/picture_messages.h"

namespace tvx {

bool PictureOutbox::HandOver(PictureBatch batch, TileSet& pending) {
  const bool replaced = batch_.has_value();
  // The unsent tiles are owed again; the next batch carries their newest version.
  if (replaced) pending |= batch_->inFlight;
  batch_ = std::move(batch);
  return replaced;
}

std::optional<PictureBatch> PictureOutbox::Take() {
  std::optional<PictureBatch> out = std::move(batch_);
  batch_.reset();
  return out;
}

void BatchBuilder::BeginTurn(std::uint32_t columns, std::uint32_t rows) {
  if (static_cast<std::uint64_t>(columns) * rows > kMaxTiles) columns = rows = 0;
  if (columns != columns_ || rows != rows_) {
    columns_ = columns;
    rows_ = rows;
    all_.reset();
    for (std::uint32_t i = 0; i < total(); ++i) all_.set(i);
  }
  union_.reset();
  results_.assign(total(), nullptr);
}

bool BatchBuilder::AddViewer(TileSet& pending, bool fullRefresh, const TileSet& changed) {
  if (fullRefresh) {
    pending |= all_;
  } else {
    pending |= changed;
  }
  // A grid that shrank leaves no owed tile outside it.
  pending &= all_;
  if (pending.none()) return false;
  union_ |= pending;
  return true;
}

std::vector<std::uint32_t> BatchBuilder::TileList() const {
  std::vector<std::uint32_t> tiles;
  tiles.reserve(union_.count());
  for (std::uint32_t i = 0; i < total(); ++i) {
    if (union_.test(i)) tiles.push_back(i);
  }
  return tiles;
}

std::optional<PictureBatch> BatchBuilder::Build(std::uint32_t turn, TileSet& pending) const {
  TileFrameBuilder frame(turn);
  PictureBatch batch;
  batch.turn = turn;
  for (std::uint32_t i = 0; i < total(); ++i) {
    if (!pending.test(i) || i >= results_.size() || !results_[i]) continue;
    const std::vector<std::uint8_t>& jpeg = *results_[i];
    if (!frame.Add(static_cast<std::uint16_t>(i % columns_), static_cast<std::uint16_t>(i / columns_), jpeg)) {
      break;  // the rest stays owed for the next turn
    }
    pending.reset(i);
    batch.inFlight.set(i);
  }
  if (frame.count() == 0) return std::nullopt;
  batch.tileCount = frame.count();
  batch.complete = frame.count() == total();
  batch.payload = frame.Take();
  return batch;
}

}  // namespace tvx

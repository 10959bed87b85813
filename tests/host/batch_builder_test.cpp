#include "host/batch_builder.h"

#include <gtest/gtest.h>

#include <map>

#include "net/connection.h"
#include "net/picture_messages.h"

namespace tvx {
namespace {

constexpr std::uint32_t kColumns = 4;
constexpr std::uint32_t kRows = 3;
constexpr std::uint32_t kTotal = kColumns * kRows;

TileSet Tiles(std::initializer_list<std::uint32_t> indices) {
  TileSet set;
  for (std::uint32_t i : indices) set.set(i);
  return set;
}

// Stands in for the encoder pool: each listed tile gets a two-byte "JPEG" naming the tile and the
// version of the picture it was made from; `failing` tiles get nothing.
std::uint32_t EncodeUnion(BatchBuilder& builder, std::uint8_t version, const TileSet& failing = {}) {
  std::uint32_t encoded = 0;
  for (std::uint32_t tile : builder.TileList()) {
    if (failing.test(tile)) continue;
    builder.results()[tile] =
        std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{static_cast<std::uint8_t>(tile), version});
    ++encoded;
  }
  return encoded;
}

// tile index -> version, as a viewer decoding the batch would see it.
std::map<std::uint32_t, std::uint8_t> Contents(const PictureBatch& batch) {
  TileFrame frame;
  EXPECT_TRUE(DecodeTileFrame(batch.payload, kColumns, kRows, frame));
  EXPECT_EQ(frame.declaredCount, batch.tileCount);
  EXPECT_EQ(frame.turn, batch.turn);
  std::map<std::uint32_t, std::uint8_t> out;
  for (const TileEntry& entry : frame.tiles) {
    const std::uint32_t index = entry.row * kColumns + entry.column;
    EXPECT_EQ(entry.jpeg.size(), 2u);
    EXPECT_EQ(entry.jpeg[0], index);
    EXPECT_TRUE(batch.inFlight.test(index));
    out[index] = entry.jpeg[1];
  }
  EXPECT_EQ(out.size(), batch.inFlight.count());
  return out;
}

TEST(BatchBuilder, AJoiningViewerGetsEverythingWhileOthersGetOnlyChanges) {
  BatchBuilder builder;
  TileSet watching;
  TileSet joining;
  builder.BeginTurn(kColumns, kRows);
  const TileSet changed = Tiles({5});
  EXPECT_TRUE(builder.AddViewer(watching, false, changed));
  EXPECT_TRUE(builder.AddViewer(joining, true, changed));
  // The union is encoded once, however many viewers need a tile.
  EXPECT_EQ(builder.TileList().size(), kTotal);
  EXPECT_EQ(EncodeUnion(builder, 1), kTotal);

  const auto full = builder.Build(7, joining);
  ASSERT_TRUE(full.has_value());
  EXPECT_TRUE(full->complete);
  EXPECT_EQ(full->tileCount, kTotal);
  EXPECT_EQ(Contents(*full).size(), kTotal);
  EXPECT_TRUE(joining.none());

  const auto change = builder.Build(7, watching);
  ASSERT_TRUE(change.has_value());
  EXPECT_FALSE(change->complete);
  EXPECT_EQ(Contents(*change), (std::map<std::uint32_t, std::uint8_t>{{5, 1}}));
  EXPECT_TRUE(watching.none());
}

TEST(BatchBuilder, ViewersWithNothingOwedAreNotNeedy) {
  BatchBuilder builder;
  TileSet a;
  builder.BeginTurn(kColumns, kRows);
  EXPECT_FALSE(builder.AddViewer(a, false, TileSet{}));
  EXPECT_FALSE(builder.AnyNeeded());
  EXPECT_TRUE(builder.TileList().empty());
}

TEST(BatchBuilder, UnionHoldsEachTileOnceInOrder) {
  BatchBuilder builder;
  TileSet a = Tiles({1, 9});
  TileSet b = Tiles({3});
  TileSet c;
  builder.BeginTurn(kColumns, kRows);
  EXPECT_TRUE(builder.AddViewer(a, false, Tiles({3, 4})));
  EXPECT_TRUE(builder.AddViewer(b, false, Tiles({3, 4})));
  EXPECT_TRUE(builder.AddViewer(c, false, Tiles({3, 4})));
  EXPECT_EQ(builder.TileList(), (std::vector<std::uint32_t>{1, 3, 4, 9}));
}

TEST(BatchBuilder, TilesThatFailedToEncodeStayOwed) {
  BatchBuilder builder;
  TileSet pending;
  builder.BeginTurn(kColumns, kRows);
  builder.AddViewer(pending, false, Tiles({2, 3, 4}));
  EncodeUnion(builder, 1, Tiles({3}));
  const auto batch = builder.Build(1, pending);
  ASSERT_TRUE(batch.has_value());
  EXPECT_EQ(Contents(*batch), (std::map<std::uint32_t, std::uint8_t>{{2, 1}, {4, 1}}));
  EXPECT_EQ(pending, Tiles({3}));

  // Nothing encoded at all: no batch, everything still owed.
  builder.BeginTurn(kColumns, kRows);
  builder.AddViewer(pending, false, TileSet{});
  EXPECT_FALSE(builder.Build(2, pending).has_value());
  EXPECT_EQ(pending, Tiles({3}));
}

TEST(BatchBuilder, ABatchIsCutBeforeTheTileThatWouldPassTheFrameCap) {
  constexpr std::uint32_t kBig = 20;
  BatchBuilder builder;
  TileSet pending;
  builder.BeginTurn(kBig, 1);
  TileSet all;
  for (std::uint32_t i = 0; i < kBig; ++i) all.set(i);
  builder.AddViewer(pending, false, all);
  const auto mebibyte = std::make_shared<const std::vector<std::uint8_t>>(1u << 20, 0xAB);
  for (std::uint32_t i = 0; i < kBig; ++i) builder.results()[i] = mebibyte;

  const auto first = builder.Build(1, pending);
  ASSERT_TRUE(first.has_value());
  // 8 + n x (8 + 1 MiB) <= 16 MiB holds for 15 tiles, not for 16.
  EXPECT_EQ(first->tileCount, 15);
  EXPECT_FALSE(first->complete);
  EXPECT_LE(first->payload.size(), kFrameCap);
  EXPECT_EQ(first->payload.size(), 8 + 15 * (8 + (1u << 20)));
  EXPECT_EQ(pending.count(), 5u);
  for (std::uint32_t i = 15; i < kBig; ++i) EXPECT_TRUE(pending.test(i)) << i;

  const auto rest = builder.Build(2, pending);
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(rest->tileCount, 5);
  EXPECT_TRUE(pending.none());
}

TEST(BatchBuilder, AStalledViewerKeepsOneBatchAndLaterGetsOnlyTheNewestTiles) {
  BatchBuilder builder;
  TileSet pending;
  PictureOutbox outbox;
  std::map<std::uint32_t, std::uint8_t> current;  // the picture's real content
  std::map<std::uint32_t, std::uint8_t> seen;     // what the viewer ends up with

  auto turn = [&](std::uint8_t version, const TileSet& changed, bool full) {
    for (std::uint32_t i = 0; i < kTotal; ++i) {
      if (full || changed.test(i)) current[i] = version;
    }
    builder.BeginTurn(kColumns, kRows);
    const bool late = outbox.full();
    if (builder.AddViewer(pending, full, changed)) {
      // Encoding reads the framebuffer as it is now, so every owed tile carries its current version.
      for (std::uint32_t tile : builder.TileList()) {
        builder.results()[tile] = std::make_shared<const std::vector<std::uint8_t>>(
            std::vector<std::uint8_t>{static_cast<std::uint8_t>(tile), current[tile]});
      }
      auto batch = builder.Build(version, pending);
      if (batch) {
        EXPECT_EQ(outbox.HandOver(std::move(*batch), pending), late);
      }
    }
    return late;
  };

  EXPECT_FALSE(turn(1, {}, true));     // the first picture, never taken: the viewer stalls
  EXPECT_TRUE(turn(2, Tiles({1, 2}), false));
  EXPECT_TRUE(turn(3, Tiles({2, 7}), false));
  EXPECT_TRUE(outbox.full());

  // It recovers: the one batch waiting holds every tile, each in its newest version.
  auto batch = outbox.Take();
  ASSERT_TRUE(batch.has_value());
  EXPECT_FALSE(outbox.full());
  EXPECT_TRUE(batch->complete);
  for (const auto& [tile, version] : Contents(*batch)) seen[tile] = version;
  EXPECT_EQ(seen, current);
  // The tiles of the batch replaced last are owed once more, and come at their newest too.
  EXPECT_EQ(pending, Tiles({1, 2}));
  EXPECT_FALSE(turn(4, {}, false));
  batch = outbox.Take();
  ASSERT_TRUE(batch.has_value());
  EXPECT_EQ(Contents(*batch), (std::map<std::uint32_t, std::uint8_t>{{1, 2}, {2, 3}}));
  EXPECT_TRUE(pending.none());

  // A replaced batch's tiles are owed again and sent at their newest.
  EXPECT_FALSE(turn(5, Tiles({3}), false));
  EXPECT_TRUE(turn(6, Tiles({4}), false));  // the batch with tile 3 is replaced by tile 4's
  EXPECT_EQ(pending, Tiles({3}));
  batch = outbox.Take();
  ASSERT_TRUE(batch.has_value());
  EXPECT_EQ(Contents(*batch), (std::map<std::uint32_t, std::uint8_t>{{4, 6}}));
  EXPECT_FALSE(turn(7, Tiles({}), false));
  batch = outbox.Take();
  ASSERT_TRUE(batch.has_value());
  EXPECT_EQ(Contents(*batch), (std::map<std::uint32_t, std::uint8_t>{{3, 5}}));
}

TEST(BatchBuilder, OwedTilesOutsideAShrunkGridAreForgotten) {
  BatchBuilder builder;
  TileSet pending = Tiles({0, 11});
  builder.BeginTurn(2, 2);
  EXPECT_TRUE(builder.AddViewer(pending, false, TileSet{}));
  EXPECT_EQ(pending, Tiles({0}));
  EXPECT_EQ(builder.TileList(), (std::vector<std::uint32_t>{0}));
}

TEST(PictureOutbox, HoldsOneBatchAndGivesItUpOnce) {
  PictureOutbox outbox;
  TileSet pending;
  PictureBatch first;
  first.inFlight = Tiles({1, 2});
  EXPECT_FALSE(outbox.HandOver(std::move(first), pending));
  PictureBatch second;
  second.turn = 2;
  second.inFlight = Tiles({2, 3});
  EXPECT_TRUE(outbox.HandOver(std::move(second), pending));
  EXPECT_EQ(pending, Tiles({1, 2}));
  auto taken = outbox.Take();
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->turn, 2u);
  EXPECT_FALSE(outbox.Take().has_value());
}

}  // namespace
}  // namespace tvx

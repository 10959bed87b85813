#include "viewer/decode_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "fake_tile_decoder.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

using testing::FakeJpeg;
using testing::FakeTileDecoder;

JpegDecoderFactory FakeFactory() {
  return [](std::wstring&) { return std::make_unique<FakeTileDecoder>(); };
}

std::vector<TileRef> Refs(const std::vector<std::vector<std::uint8_t>>& jpegs,
                          const std::vector<std::pair<std::uint32_t, std::uint32_t>>& cells) {
  std::vector<TileRef> refs;
  for (std::size_t i = 0; i < jpegs.size(); ++i) {
    refs.push_back(TileRef{cells[i].first, cells[i].second, jpegs[i].data(), jpegs[i].size()});
  }
  return refs;
}

const std::uint8_t* Pixel(Framebuffer& fb, std::uint32_t x, std::uint32_t y) {
  return fb.pixels().data() + (static_cast<std::size_t>(y) * fb.width() + x) * 4;
}

TEST(DecodePool, DecoderCountIsHalfTheProcessorsBetweenOneAndSix) {
  const std::pair<unsigned, std::size_t> cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2},
                                                    {7, 3}, {12, 6}, {13, 6}, {64, 6}};
  for (const auto& [processors, decoders] : cases) {
    EXPECT_EQ(DecodePool::DecoderCount(processors), decoders) << processors;
  }
}

TEST(DecodePool, StartLogsTheThreadCountAndKeepsDecodersMadeBeforeAFailure) {
  {
    testing::LogCapture capture;
    DecodePool pool;
    std::wstring error;
    ASSERT_TRUE(pool.Start(1, FakeFactory(), error));
    EXPECT_TRUE(capture.Contains(L"Decoding on 1 thread"));
    EXPECT_FALSE(capture.Contains(L"Decoding on 1 threads"));
  }
  {
    testing::LogCapture capture;
    int made = 0;
    DecodePool pool;
    std::wstring error;
    ASSERT_TRUE(pool.Start(6, [&](std::wstring& detail) -> std::unique_ptr<JpegDecoder> {
      if (++made > 3) {
        detail = L"no more";
        return nullptr;
      }
      return std::make_unique<FakeTileDecoder>();
    }, error));
    EXPECT_EQ(pool.decoders(), 3u);
    EXPECT_TRUE(capture.Contains(L"Decoding on 3 threads"));
  }
  const std::pair<std::wstring, std::wstring> failures[] = {
      {L"WIC factory: 0x80004005 (x)", L"WIC factory: 0x80004005 (x)"},
      {L"", L"No JPEG decoder could be created."}};
  for (const auto& [detail, expected] : failures) {
    DecodePool pool;
    std::wstring error;
    EXPECT_FALSE(pool.Start(2, [&](std::wstring& d) -> std::unique_ptr<JpegDecoder> {
      d = detail;
      return nullptr;
    }, error));
    EXPECT_EQ(error, expected);
    EXPECT_EQ(pool.decoders(), 0u);
  }
}

TEST(DecodePool, EachDecoderTakesTheTilesAtItsPositions) {
  std::vector<std::vector<std::uint8_t>> seen(3);
  std::size_t next = 0;
  std::mutex m;
  DecodePool pool;
  std::wstring error;
  ASSERT_TRUE(pool.Start(3, [&](std::wstring&) {
    std::lock_guard<std::mutex> lock(m);
    return std::make_unique<FakeTileDecoder>(&seen[next++]);
  }, error));
  Framebuffer fb;
  fb.Resize(8 * 4, 8 * 2);
  std::vector<std::vector<std::uint8_t>> jpegs;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> cells;
  for (std::uint8_t i = 0; i < 8; ++i) {
    jpegs.push_back(FakeJpeg(8, 8, i, static_cast<std::uint8_t>(100 + i), 7));
    cells.push_back({i % 4u, i / 4u});
  }
  { auto lock = fb.Lock(); fb.TakeDirty(); }
  EXPECT_EQ(pool.Apply(fb, Refs(jpegs, cells), 8, 8), 8u);
  EXPECT_EQ(seen[0], (std::vector<std::uint8_t>{0, 3, 6}));
  EXPECT_EQ(seen[1], (std::vector<std::uint8_t>{1, 4, 7}));
  EXPECT_EQ(seen[2], (std::vector<std::uint8_t>{2, 5}));
  auto lock = fb.Lock();
  EXPECT_EQ(fb.dirty(), (DirtyRect{0, 0, 32, 16}));
  for (std::uint8_t i = 0; i < 8; ++i) {
    const std::uint8_t* px = Pixel(fb, (i % 4u) * 8 + 3, (i / 4u) * 8 + 5);
    EXPECT_EQ(px[0], i);
    EXPECT_EQ(px[1], 100 + i);
    EXPECT_EQ(px[2], 7);
    EXPECT_EQ(px[3], 255);
  }
}

TEST(DecodePool, BadTilesAreSkippedOneByOneAndOnlyOversizedOnesAreLogged) {
  testing::LogCapture capture;
  DecodePool pool;
  std::wstring error;
  ASSERT_TRUE(pool.Start(2, FakeFactory(), error));
  Framebuffer fb;
  fb.Resize(100, 70);  // grid of 64: two columns, two rows, the last ones cut
  { auto lock = fb.Lock(); fb.TakeDirty(); }
  std::vector<std::vector<std::uint8_t>> jpegs = {
      FakeJpeg(65, 64, 1, 1, 1),        // too wide for the grid
      std::vector<std::uint8_t>(5, 0),  // not a picture
      FakeJpeg(0, 64, 2, 2, 2),         // empty
      FakeJpeg(64, 64, 9, 9, 9),        // bottom-right edge tile: clipped to 36 x 6
      FakeJpeg(64, 64, 5, 5, 5),        // column 2 is inside the grid only in a wider picture
  };
  const auto refs = Refs(jpegs, {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}});
  EXPECT_EQ(pool.Apply(fb, refs, 64, 64), 1u);
  EXPECT_EQ(capture.Count(L"Dropping a tile claiming 65x64 (grid allows 64x64)"), 1u);
  EXPECT_EQ(capture.Count(L"Dropping a tile"), 1u);
  auto lock = fb.Lock();
  EXPECT_EQ(fb.dirty(), (DirtyRect{64, 64, 100, 70}));
  EXPECT_EQ(Pixel(fb, 99, 69)[0], 9);
  EXPECT_EQ(Pixel(fb, 0, 0)[0], Framebuffer::kClearByte);
}

TEST(DecodePool, ManyFramesInARowAllLandAndAnEmptyFramebufferTakesNothing) {
  DecodePool pool;
  std::wstring error;
  ASSERT_TRUE(pool.Start(4, FakeFactory(), error));
  Framebuffer empty;
  const auto one = FakeJpeg(4, 4, 1, 2, 3);
  EXPECT_EQ(pool.Apply(empty, Refs({one}, {{0, 0}}), 4, 4), 0u);

  Framebuffer fb;
  fb.Resize(16, 16);
  for (int frame = 0; frame < 200; ++frame) {
    std::vector<std::vector<std::uint8_t>> jpegs;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cells;
    const std::size_t count = 1 + frame % 16;  // fewer tiles than decoders too
    for (std::size_t i = 0; i < count; ++i) {
      jpegs.push_back(FakeJpeg(4, 4, static_cast<std::uint8_t>(frame), 0, 0));
      cells.push_back({static_cast<std::uint32_t>(i % 4), static_cast<std::uint32_t>(i / 4)});
    }
    ASSERT_EQ(pool.Apply(fb, Refs(jpegs, cells), 4, 4), count);
    auto lock = fb.Lock();
    ASSERT_EQ(Pixel(fb, static_cast<std::uint32_t>((count - 1) % 4) * 4, static_cast<std::uint32_t>((count - 1) / 4) * 4)[0],
              static_cast<std::uint8_t>(frame));
  }
  pool.Stop();
  pool.Stop();
}

TEST(DecodePool, ATileDeclaringAHugePictureIsDroppedWithoutTakingItsMemory) {
  testing::LogCapture capture;
  std::atomic<std::size_t> peak{0};
  DecodePool pool;
  std::wstring error;
  ASSERT_TRUE(pool.Start(2, [&](std::wstring&) { return std::make_unique<FakeTileDecoder>(nullptr, &peak); }, error));
  Framebuffer fb;
  fb.Resize(128, 128);
  const std::vector<std::vector<std::uint8_t>> jpegs = {FakeJpeg(16384, 16384, 1, 1, 1), FakeJpeg(64, 64, 2, 2, 2),
                                                        FakeJpeg(64, 64, 3, 3, 3), FakeJpeg(16384, 16384, 4, 4, 4)};
  // Each decoder meets one huge tile and one good one, in either order.
  EXPECT_EQ(pool.Apply(fb, Refs(jpegs, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}), 64, 64), 2u);
  EXPECT_EQ(capture.Count(L"Dropping a tile claiming 16384x16384 (grid allows 64x64)"), 2u);
  EXPECT_EQ(peak.load(), 64u * 64 * 3);  // the grid's tile size was the limit, not what the file claims
}

TEST(DecodePool, ScratchKeepsATilesWorthAndGivesBackWhatLargerTilesTook) {
  struct Case {
    std::uint32_t tile;
    bool kept;
  };
  for (const Case c : {Case{128, true}, Case{256, true}, Case{1024, false}}) {
    SCOPED_TRACE(c.tile);
    DecodePool pool;
    std::wstring error;
    ASSERT_TRUE(pool.Start(2, FakeFactory(), error));
    Framebuffer fb;
    fb.Resize(c.tile * 2, c.tile);
    const std::vector<std::vector<std::uint8_t>> jpegs = {FakeJpeg(c.tile, c.tile, 1, 1, 1),
                                                          FakeJpeg(c.tile, c.tile, 2, 2, 2)};
    ASSERT_EQ(pool.Apply(fb, Refs(jpegs, {{0, 0}, {1, 0}}), c.tile, c.tile), 2u);
    for (std::size_t i = 0; i < pool.decoders(); ++i) {
      const std::size_t held = pool.scratchCapacity(i);
      EXPECT_LE(held, DecodePool::kKeptScratchBytes) << i;
      EXPECT_EQ(held >= static_cast<std::size_t>(c.tile) * c.tile * 3, c.kept) << i;
    }
    auto lock = fb.Lock();
    EXPECT_EQ(Pixel(fb, c.tile * 2 - 1, c.tile - 1)[0], 2);
  }
}

TEST(DecodePool, ACellListedTwiceIsDecodedOnceFromItsLastEntry) {
  std::vector<std::vector<std::uint8_t>> seen(3);
  std::size_t next = 0;
  std::mutex m;
  DecodePool pool;
  std::wstring error;
  ASSERT_TRUE(pool.Start(3, [&](std::wstring&) {
    std::lock_guard<std::mutex> lock(m);
    return std::make_unique<FakeTileDecoder>(&seen[next++]);
  }, error));
  Framebuffer fb;
  fb.Resize(48, 16);
  // Cells (0,0) and (1,0) come three and two times; (2,0) once, in between.
  const std::vector<std::vector<std::uint8_t>> jpegs = {
      FakeJpeg(16, 16, 1, 0, 0), FakeJpeg(16, 16, 2, 0, 0), FakeJpeg(16, 16, 3, 0, 0),
      FakeJpeg(16, 16, 4, 0, 0), FakeJpeg(16, 16, 5, 0, 0), FakeJpeg(16, 16, 6, 0, 0)};
  const auto refs = Refs(jpegs, {{0, 0}, {1, 0}, {0, 0}, {2, 0}, {0, 0}, {1, 0}});
  for (int frame = 0; frame < 50; ++frame) {  // and under ThreadSanitizer, no two writers of one cell
    for (auto& s : seen) s.clear();
    ASSERT_EQ(pool.Apply(fb, refs, 16, 16), 3u);
    std::vector<std::uint8_t> all;
    for (const auto& s : seen) all.insert(all.end(), s.begin(), s.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all, (std::vector<std::uint8_t>{4, 5, 6}));
    auto lock = fb.Lock();
    ASSERT_EQ(Pixel(fb, 5, 5)[0], 5);
    ASSERT_EQ(Pixel(fb, 21, 5)[0], 6);
    ASSERT_EQ(Pixel(fb, 37, 5)[0], 4);
  }
}

}  // namespace
}  // namespace tvx

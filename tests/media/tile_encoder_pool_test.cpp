#include "media/tile_encoder_pool.h"

#include <gtest/gtest.h>

#include <mutex>

#include "media/encode_settings.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

// Stands in for JPEG: writes the size and every pixel's B, G, R, so a test can read back exactly
// what the encoder was given. A tile whose first pixel has B = 0xEE fails.
class RecordingEncoder : public JpegEncoder {
 public:
  bool Encode(const std::uint8_t* bgra, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
              std::uint32_t quality, bool subsample420, std::vector<std::uint8_t>& out) override {
    out.clear();
    if (bgra[0] == 0xEE) return false;
    out.push_back(static_cast<std::uint8_t>(width));
    out.push_back(static_cast<std::uint8_t>(height));
    out.push_back(static_cast<std::uint8_t>(quality));
    out.push_back(subsample420 ? 1 : 0);
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t* p = bgra + y * stride + x * 4;
        out.insert(out.end(), p, p + 3);
      }
    }
    return true;
  }
};

struct FactoryScript {
  int calls = 0;
  int failAt = -1;  // 1-based call that fails
  std::wstring text = L"WIC surface: 0x8007000E (out of memory)";

  JpegEncoderFactory Factory() {
    return [this](std::wstring& error) -> std::unique_ptr<JpegEncoder> {
      if (++calls == failAt) {
        error = text;
        return nullptr;
      }
      return std::make_unique<RecordingEncoder>();
    };
  }
};

TEST(EncodeSettingsTest, WorkerCountsAndLevels) {
  const std::pair<std::uint32_t, std::uint32_t> workers[] = {{0, 1}, {1, 1}, {2, 1}, {3, 1},
                                                             {4, 2}, {8, 4}, {12, 6}, {16, 6}, {64, 6}};
  for (auto [processors, expected] : workers) EXPECT_EQ(EncoderWorkerCount(processors), expected) << processors;

  struct Case {
    std::uint32_t quality;
    bool compress;
    std::uint32_t level;
    std::uint32_t expectedQuality;
    bool expected420;
  };
  const Case levels[] = {
      {62, false, 0, 62, false}, {62, true, 0, 62, true},  {62, false, 1, 62, true}, {62, false, 2, 46, true},
      {40, false, 2, 35, true},  {62, false, 3, 34, true}, {30, false, 3, 22, true}, {100, false, 3, 55, true},
      {0, false, 0, 5, false},   {200, false, 9, 55, true},
  };
  for (const Case& c : levels) {
    SCOPED_TRACE(::testing::Message() << c.quality << " level " << c.level);
    const EncodeSettings s = EncodeSettingsForLevel(c.quality, c.compress, c.level);
    EXPECT_EQ(s.quality, c.expectedQuality);
    EXPECT_EQ(s.subsample420, c.expected420);
  }
  EXPECT_FLOAT_EQ(JpegQualityFraction(100), 1.0f);
  EXPECT_FLOAT_EQ(JpegQualityFraction(5), 0.05f);
  EXPECT_FLOAT_EQ(JpegQualityFraction(0), 0.05f);
  EXPECT_FLOAT_EQ(JpegQualityFraction(62), 0.62f);
  EXPECT_EQ(ScaledEdge(1366, 2), 683u);
  EXPECT_EQ(ScaledEdge(767, 2), 384u);
  EXPECT_EQ(ScaledEdge(767, 1), 767u);
}

TEST(TileEncoderPoolTest, BuildSizesThePoolAndSkipsARepeat) {
  tvx::testing::LogCapture log;
  FactoryScript script;
  TileEncoderPool pool(script.Factory());
  std::wstring error;
  ASSERT_TRUE(pool.Build(1, 640, 480, error));
  EXPECT_EQ(pool.encoderCount(), 1u);
  EXPECT_EQ(pool.threadCount(), 0u);
  EXPECT_TRUE(log.Contains(L"Encoding on 1 thread"));
  EXPECT_FALSE(log.Contains(L"Encoding on 1 threads"));

  ASSERT_TRUE(pool.Build(6, 640, 480, error));
  EXPECT_EQ(pool.encoderCount(), 6u);
  EXPECT_EQ(pool.threadCount(), 5u);
  EXPECT_TRUE(log.Contains(L"Encoding on 6 threads"));
  const int calls = script.calls;
  ASSERT_TRUE(pool.Build(6, 640, 480, error));  // same count and size: nothing happens
  EXPECT_EQ(script.calls, calls);
  EXPECT_EQ(log.Count(L"Encoding on"), 2u);
  ASSERT_TRUE(pool.Build(6, 320, 240, error));  // a new size rebuilds
  EXPECT_EQ(pool.width(), 320u);
  pool.Stop();
  EXPECT_EQ(pool.encoderCount(), 0u);
  EXPECT_EQ(pool.threadCount(), 0u);
}

TEST(TileEncoderPoolTest, BuildFailures) {
  {  // the third encoder fails: a working pool of two
    FactoryScript script;
    script.failAt = 3;
    TileEncoderPool pool(script.Factory());
    std::wstring error;
    EXPECT_TRUE(pool.Build(4, 640, 480, error));
    EXPECT_EQ(pool.encoderCount(), 2u);
    EXPECT_EQ(pool.threadCount(), 1u);
    EXPECT_TRUE(error.empty());
  }
  {  // the first fails: no pool, and its text
    FactoryScript script;
    script.failAt = 1;
    TileEncoderPool pool(script.Factory());
    std::wstring error;
    EXPECT_FALSE(pool.Build(4, 640, 480, error));
    EXPECT_EQ(error, script.text);
    EXPECT_EQ(pool.encoderCount(), 0u);
  }
  {
    FactoryScript script;
    TileEncoderPool pool(script.Factory());
    std::wstring error;
    EXPECT_FALSE(pool.Build(2, 0, 480, error));
    EXPECT_EQ(error, L"Zero-sized frame.");
  }
}

// A framebuffer whose pixel (x, y) holds B = x, G = y, R = x + y (low bytes).
std::vector<std::uint8_t> Gradient(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> fb(static_cast<std::size_t>(width) * height * 4);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = &fb[(static_cast<std::size_t>(y) * width + x) * 4];
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x + y);
      p[3] = 0;
    }
  }
  return fb;
}

void FillJob(EncodeJob& job, const std::vector<std::uint8_t>& fb, std::uint32_t width, std::uint32_t height,
             std::uint32_t scale, const std::vector<std::uint32_t>& tiles, std::vector<EncodedTile>& results) {
  job.tiles = &tiles;
  job.results = &results;
  job.framebuffer = fb.data();
  job.stride = width * 4;
  job.tileSize = 128;
  job.tilesX = (width + 127) / 128;
  job.width = width;
  job.height = height;
  job.scale = scale;
  job.quality = 62;
  job.subsample420 = false;
}

TEST(TileEncoderPoolTest, FullAndHalfResolutionTiles) {
  const std::uint32_t width = 1366, height = 768;  // 11 x 6 tiles
  const std::vector<std::uint8_t> fb = Gradient(width, height);
  std::vector<std::uint32_t> tiles;
  for (std::uint32_t t = 0; t < 66; ++t) tiles.push_back(t);

  for (std::uint32_t scale : {1u, 2u}) {
    SCOPED_TRACE(scale);
    FactoryScript script;
    TileEncoderPool pool(script.Factory());
    std::wstring error;
    ASSERT_TRUE(pool.Build(3, ScaledEdge(width, scale), ScaledEdge(height, scale), error));
    std::vector<EncodedTile> results(66);
    FillJob(pool.job(), fb, width, height, scale, tiles, results);
    EXPECT_EQ(pool.RunBatch(), 66u);
    EXPECT_EQ(pool.job().tiles, nullptr);
    EXPECT_EQ(pool.job().results, nullptr);
    const std::uint32_t edge = 128 / scale;
    for (std::uint32_t t = 0; t < 66; ++t) {
      ASSERT_TRUE(results[t]);
      const std::vector<std::uint8_t>& out = *results[t];
      const std::uint32_t column = t % 11, row = t / 11;
      EXPECT_EQ(out[0], column == 10 ? 86 / scale : edge) << t;  // 86 px, or 43 at half resolution
      EXPECT_EQ(out[1], edge) << t;
      // The tile's first pixel: the original at scale 1, the 2 x 2 mean at scale 2.
      const std::uint32_t x = column * 128, y = row * 128;
      if (scale == 1) {
        EXPECT_EQ(out[4], static_cast<std::uint8_t>(x));
        EXPECT_EQ(out[5], static_cast<std::uint8_t>(y));
      } else {
        const std::uint32_t b = (2 * static_cast<std::uint8_t>(x) + 2 * static_cast<std::uint8_t>(x + 1) + 2) / 4;
        EXPECT_EQ(out[4], b);
      }
    }
  }
}

TEST(TileEncoderPoolTest, HalvingAveragesAndPairsTheLastRowAndColumnWithThemselves) {
  // A 3 x 1 picture: the only row pairs with itself, the third column with itself.
  const std::uint8_t fb[] = {10, 20, 30, 0, 13, 21, 35, 0, 100, 200, 50, 7};
  FactoryScript script;
  std::wstring error;
  auto encoder = TileEncoder::Create(2, 1, script.Factory(), error);
  ASSERT_TRUE(encoder);
  encoder->CopyTileIn({fb, 12, 3, 1, 2}, 0, 0, 3, 1);
  const std::uint8_t* p = encoder->bitmap();
  EXPECT_EQ(p[0], (10 + 13 + 10 + 13 + 2) / 4);
  EXPECT_EQ(p[1], (20 + 21 + 20 + 21 + 2) / 4);
  EXPECT_EQ(p[2], (30 + 35 + 30 + 35 + 2) / 4);
  EXPECT_EQ(p[3], 255);
  EXPECT_EQ(p[4], 100);
  EXPECT_EQ(p[5], 200);
  EXPECT_EQ(p[6], 50);
  EXPECT_EQ(p[7], 255);
  // A block reaching past the bitmap or the framebuffer is cut, never written out of bounds.
  encoder->CopyTileIn({fb, 12, 3, 1, 1}, 1, 0, 500, 500);
  EXPECT_EQ(p[4], 13);
  encoder->CopyTileIn({fb, 12, 3, 1, 1}, 5, 0, 10, 10);
  std::vector<std::uint8_t> out;
  EXPECT_FALSE(encoder->EncodeTile(1, 0, 2, 1, 62, false, out));  // outside the bitmap
  EXPECT_FALSE(encoder->EncodeTile(0, 0, 0, 1, 62, false, out));
  EXPECT_TRUE(encoder->EncodeTile(0, 0, 2, 1, 62, false, out));
}

TEST(TileEncoderPoolTest, FailedTilesKeepTheirOldResult) {
  const std::uint32_t width = 512, height = 128;  // 4 tiles in a row
  std::vector<std::uint8_t> fb = Gradient(width, height);
  fb[256 * 4] = 0xEE;  // tile 2 will fail
  FactoryScript script;
  TileEncoderPool pool(script.Factory());
  std::wstring error;
  ASSERT_TRUE(pool.Build(2, width, height, error));
  std::vector<EncodedTile> results(4);
  const auto old = std::make_shared<const std::vector<std::uint8_t>>(1, 42);
  results[2] = old;
  // Index 9 has no slot in the table and a tile outside the grid is skipped.
  const std::vector<std::uint32_t> tiles = {0, 2, 3, 9};
  FillJob(pool.job(), fb, width, height, 1, tiles, results);
  pool.job().quality = 77;
  pool.job().subsample420 = true;
  EXPECT_EQ(pool.RunBatch(), 2u);
  EXPECT_EQ(results[2], old);
  EXPECT_FALSE(results[1]);
  ASSERT_TRUE(results[3]);
  EXPECT_EQ((*results[3])[2], 77);
  EXPECT_EQ((*results[3])[3], 1);
  // The next batch counts afresh.
  const std::vector<std::uint32_t> again = {1};
  FillJob(pool.job(), fb, width, height, 1, again, results);
  EXPECT_EQ(pool.RunBatch(), 1u);
}

TEST(TileEncoderPoolTest, ManyBatchesOnManyWorkers) {
  const std::uint32_t width = 512, height = 200;  // 4 x 2 tiles, the lower ones short
  const std::vector<std::uint8_t> fb = Gradient(width, height);
  FactoryScript script;
  TileEncoderPool pool(script.Factory());
  std::wstring error;
  ASSERT_TRUE(pool.Build(4, width, height, error));
  for (std::uint32_t batch = 0; batch < 100; ++batch) {
    std::vector<std::uint32_t> tiles;  // from none to all 8, so some workers often have nothing
    for (std::uint32_t t = batch % 9; t < 8; t += 1 + batch % 3) tiles.push_back(t);
    std::vector<EncodedTile> results(8);
    FillJob(pool.job(), fb, width, height, 1, tiles, results);
    ASSERT_EQ(pool.RunBatch(), tiles.size()) << batch;
    for (std::uint32_t t : tiles) ASSERT_TRUE(results[t]) << batch << " " << t;
  }
}

}  // namespace
}  // namespace tvx

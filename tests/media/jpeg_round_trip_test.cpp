// The real JPEG codec of this platform on a synthetic desktop, through the encoder pool.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "foundation/com_apartment.h"
#include "media/encode_settings.h"
#include "media/jpeg_codec.h"
#include "media/screen_capture.h"
#include "media/synthetic_source.h"
#include "media/tile_encoder_pool.h"

namespace tvx {
namespace {

// Peak signal-to-noise ratio of decoded B, G, R against a block of the framebuffer.
double Psnr(const std::vector<std::uint8_t>& bgr, const std::uint8_t* fb, std::uint32_t stride, std::uint32_t x0,
            std::uint32_t y0, std::uint32_t w, std::uint32_t h) {
  double squared = 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      for (int k = 0; k < 3; ++k) {
        const double d = double(bgr[(y * w + x) * 3 + k]) - double(fb[(y0 + y) * stride + (x0 + x) * 4 + k]);
        squared += d * d;
      }
    }
  }
  const double mse = squared / (double(w) * h * 3);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class JpegRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SyntheticOptions options;
    options.width = 1366;
    options.height = 768;
    capture_ = std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(options));
    std::wstring error;
    ASSERT_TRUE(capture_->Open(0, error)) << error;
    ASSERT_EQ(capture_->AcquireFrame(0), CaptureResult::Changed);
    for (std::uint32_t t = 0; t < capture_->tilesX() * capture_->tilesY(); ++t) tiles_.push_back(t);
  }

  // Encodes every tile with a pool of `workers`.
  std::vector<EncodedTile> EncodeAll(std::uint32_t workers, std::uint32_t scale, std::uint32_t quality, bool sub420) {
    TileEncoderPool pool;
    std::wstring error;
    EXPECT_TRUE(pool.Build(workers, ScaledEdge(capture_->width(), scale), ScaledEdge(capture_->height(), scale), error))
        << error;
    std::vector<EncodedTile> results(tiles_.size());
    EncodeJob& job = pool.job();
    job.tiles = &tiles_;
    job.results = &results;
    job.framebuffer = capture_->framebuffer();
    job.stride = capture_->stride();
    job.tilesX = capture_->tilesX();
    job.tileSize = capture_->tileSize();
    job.width = capture_->width();
    job.height = capture_->height();
    job.scale = scale;
    job.quality = quality;
    job.subsample420 = sub420;
    EXPECT_EQ(pool.RunBatch(), tiles_.size());
    return results;
  }

  ComApartment apartment_;
  std::unique_ptr<ScreenCapture> capture_;
  std::vector<std::uint32_t> tiles_;
};

TEST_F(JpegRoundTripTest, EveryTileDecodesToItsSizeAndCloseToTheOriginal) {
  std::wstring error;
  std::unique_ptr<JpegDecoder> decoder = CreateJpegDecoder(error);
  ASSERT_TRUE(decoder) << error;
  struct Case {
    bool sub420;
    double floorDb;  // the worst tile (text on white is the hardest)
  };
  for (const Case c : {Case{false, 24.0}, Case{true, 22.0}}) {
    SCOPED_TRACE(c.sub420 ? "4:2:0" : "4:4:4");
    const std::vector<EncodedTile> results = EncodeAll(2, 1, 62, c.sub420);
    double worst = 99;
    for (std::uint32_t t : tiles_) {
      ASSERT_TRUE(results[t]) << t;
      const std::uint32_t x = (t % 11) * 128, y = (t / 11) * 128;
      const std::uint32_t w = std::min(128u, 1366 - x), h = std::min(128u, 768 - y);
      std::vector<std::uint8_t> bgr;
      std::uint32_t dw = 0, dh = 0;
      ASSERT_TRUE(decoder->Decode(results[t]->data(), results[t]->size(), bgr, dw, dh)) << t;
      ASSERT_EQ(dw, w) << t;
      ASSERT_EQ(dh, h) << t;
      worst = std::min(worst, Psnr(bgr, capture_->framebuffer(), capture_->stride(), x, y, w, h));
    }
    EXPECT_GT(worst, c.floorDb);
    RecordProperty(c.sub420 ? "worst_psnr_420" : "worst_psnr_444", std::to_string(worst));
  }
}

TEST_F(JpegRoundTripTest, OneWorkerOrSeveralGiveTheSameBytes) {
  for (std::uint32_t scale : {1u, 2u}) {
    SCOPED_TRACE(scale);
    const std::vector<EncodedTile> one = EncodeAll(1, scale, 62, false);
    const std::vector<EncodedTile> four = EncodeAll(4, scale, 62, false);
    for (std::uint32_t t : tiles_) {
      ASSERT_TRUE(one[t] && four[t]);
      EXPECT_EQ(*one[t], *four[t]) << t;
    }
  }
  // Half resolution: the right-most tile of 1366 px is 43 px wide.
  std::wstring error;
  std::unique_ptr<JpegDecoder> decoder = CreateJpegDecoder(error);
  ASSERT_TRUE(decoder) << error;
  const std::vector<EncodedTile> half = EncodeAll(2, 2, 62, true);
  std::vector<std::uint8_t> bgr;
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(decoder->Decode(half[10]->data(), half[10]->size(), bgr, w, h));
  EXPECT_EQ(w, 43u);
  EXPECT_EQ(h, 64u);
}

TEST(JpegCodecTest, DecoderRejectsDamagedFiles) {
  ComApartment apartment;
  std::wstring error;
  std::unique_ptr<JpegEncoder> encoder = CreateJpegEncoder(error);
  std::unique_ptr<JpegDecoder> decoder = CreateJpegDecoder(error);
  ASSERT_TRUE(encoder && decoder) << error;
  std::vector<std::uint8_t> pixels(64 * 48 * 4, 0x80);
  std::vector<std::uint8_t> jpeg;
  for (std::uint32_t quality : {0u, 5u, 100u, 250u}) {  // out-of-range qualities are clamped
    ASSERT_TRUE(encoder->Encode(pixels.data(), 64 * 4, 64, 48, quality, true, jpeg)) << quality;
  }
  EXPECT_FALSE(encoder->Encode(pixels.data(), 64 * 4, 0, 48, 62, true, jpeg));
  EXPECT_TRUE(jpeg.empty());
  ASSERT_TRUE(encoder->Encode(pixels.data(), 64 * 4, 64, 48, 62, false, jpeg));
  ASSERT_GT(jpeg.size(), 100u);

  std::vector<std::uint8_t> bgr;
  std::uint32_t w = 0, h = 0;
  ASSERT_TRUE(decoder->Decode(jpeg.data(), jpeg.size(), bgr, w, h));
  EXPECT_EQ(bgr.size(), 64u * 48 * 3);
  const std::vector<std::uint8_t> garbage(300, 0x5A);
  std::vector<std::uint8_t> header(jpeg.begin(), jpeg.begin() + 20);
  std::vector<std::uint8_t> corrupt = jpeg;
  for (std::size_t i = 2; i < 40 && i < corrupt.size(); ++i) corrupt[i] = 0xFF;
  struct Case {
    const char* name;
    const std::uint8_t* data;
    std::size_t size;
  };
  const Case cases[] = {{"empty", jpeg.data(), 0},
                        {"null", nullptr, 10},
                        {"garbage", garbage.data(), garbage.size()},
                        {"header only", header.data(), header.size()},
                        {"markers destroyed", corrupt.data(), corrupt.size()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(decoder->Decode(c.data, c.size, bgr, w, h));
    EXPECT_EQ(w, 0u);
  }
}

}  // namespace
}  // namespace tvx

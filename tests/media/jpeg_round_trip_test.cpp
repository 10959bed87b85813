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
      ASSERT_EQ(decoder->Decode(results[t]->data(), results[t]->size(), 128, 128, bgr, dw, dh),
                JpegDecodeResult::Decoded)
          << t;
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
  ASSERT_EQ(decoder->Decode(half[10]->data(), half[10]->size(), 64, 64, bgr, w, h), JpegDecodeResult::Decoded);
  EXPECT_EQ(w, 43u);
  EXPECT_EQ(h, 64u);
}

TEST_F(JpegRoundTripTest, LowerQualityAndSharedChromaGiveFewerBytes) {
  const auto total = [&](std::uint32_t quality, bool sub420) {
    std::size_t bytes = 0;
    for (const EncodedTile& tile : EncodeAll(1, 1, quality, sub420)) bytes += tile ? tile->size() : 0;
    return bytes;
  };
  const std::size_t q22 = total(22, false), q90 = total(90, false);
  const std::size_t c420 = total(62, true), c444 = total(62, false);
  EXPECT_LT(q22 * 2, q90) << q22 << " vs " << q90;
  EXPECT_LT(c420 * 10, c444 * 9) << c420 << " vs " << c444;
  RecordProperty("bytes_q22_q90", std::to_string(q22) + " " + std::to_string(q90));
  RecordProperty("bytes_420_444", std::to_string(c420) + " " + std::to_string(c444));
}

// Every codec this build has: libjpeg-turbo, and on Windows the imaging component's.
struct Codec {
  const char* name;
  JpegEncoderFactory encoder;
  JpegDecoderFactory decoder;
};

std::vector<Codec> Codecs() {
  std::vector<Codec> codecs = {{"turbo", CreateTurboJpegEncoder, CreateTurboJpegDecoder}};
  if (WicJpegCodecBuiltIn()) codecs.push_back({"wic", CreateWicJpegEncoder, CreateWicJpegDecoder});
  return codecs;
}

// Smooth colour ramps with a little texture: what every codec keeps well even at a low quality.
std::vector<std::uint8_t> RampPicture(std::uint32_t w, std::uint32_t h) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<std::uint8_t>(40 + x * 3);
      p[1] = static_cast<std::uint8_t>(60 + y * 4 + ((x ^ y) & 3));
      p[2] = static_cast<std::uint8_t>(200 - x - y);
      p[3] = 255;
    }
  }
  return pixels;
}

TEST(JpegCodecTest, DecoderRejectsDamagedFiles) {
  ComApartment apartment;
  for (const Codec& codec : Codecs()) {
    SCOPED_TRACE(codec.name);
    std::wstring error;
    std::unique_ptr<JpegEncoder> encoder = codec.encoder(error);
    std::unique_ptr<JpegDecoder> decoder = codec.decoder(error);
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
    ASSERT_EQ(decoder->Decode(jpeg.data(), jpeg.size(), 64, 48, bgr, w, h), JpegDecodeResult::Decoded);
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
      EXPECT_EQ(decoder->Decode(c.data, c.size, 64, 48, bgr, w, h), JpegDecodeResult::Unreadable);
      EXPECT_EQ(w, 0u);
    }
  }
}

// Sets the size a baseline JPEG's frame header declares.
void DeclareSize(std::vector<std::uint8_t>& jpeg, std::uint16_t w, std::uint16_t h) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(h);
      jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(w);
      return;
    }
  }
  FAIL() << "no baseline frame header";
}

TEST(JpegCodecTest, APictureLargerThanTheLimitIsRefusedBeforeAnyPixelMemory) {
  ComApartment apartment;
  for (const Codec& codec : Codecs()) {
    SCOPED_TRACE(codec.name);
    std::wstring error;
    std::unique_ptr<JpegEncoder> encoder = codec.encoder(error);
    std::unique_ptr<JpegDecoder> decoder = codec.decoder(error);
    ASSERT_TRUE(encoder && decoder) << error;
    const std::vector<std::uint8_t> pixels = RampPicture(16, 16);
    std::vector<std::uint8_t> small;
    ASSERT_TRUE(encoder->Encode(pixels.data(), 16 * 4, 16, 16, 62, false, small));
    std::vector<std::uint8_t> huge = small;  // a few hundred bytes declaring 16384 x 16384
    DeclareSize(huge, 16384, 16384);
    std::vector<std::uint8_t> wide = small;
    DeclareSize(wide, 20000, 8);
    struct Case {
      const char* name;
      const std::vector<std::uint8_t>* jpeg;
      std::uint32_t maxWidth, maxHeight;
      std::uint32_t declaredW, declaredH;
    };
    const Case cases[] = {{"huge in a 128 grid", &huge, 128, 128, 16384, 16384},
                          {"wider than any picture", &wide, 0xFFFFFFFF, 0xFFFFFFFF, 20000, 8},
                          {"one column too wide", &small, 15, 16, 16, 16},
                          {"one row too high", &small, 16, 15, 16, 16}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      std::vector<std::uint8_t> bgr;
      std::uint32_t w = 0, h = 0;
      EXPECT_EQ(decoder->Decode(c.jpeg->data(), c.jpeg->size(), c.maxWidth, c.maxHeight, bgr, w, h),
                JpegDecodeResult::TooLarge);
      EXPECT_EQ(w, c.declaredW);
      EXPECT_EQ(h, c.declaredH);
      EXPECT_EQ(bgr.capacity(), 0u);
    }
    std::vector<std::uint8_t> bgr;
    std::uint32_t w = 0, h = 0;
    EXPECT_EQ(decoder->Decode(small.data(), small.size(), 16, 16, bgr, w, h), JpegDecodeResult::Decoded);
    EXPECT_EQ(bgr.size(), 16u * 16 * 3);
  }
}

TEST(JpegCodecTest, EveryEncoderIsReadByEveryDecoder) {
  // A Windows host on the fallback codec still streams to viewers on libjpeg-turbo, and back.
  ComApartment apartment;
  const std::vector<std::uint8_t> pixels = RampPicture(40, 24);
  for (const Codec& from : Codecs()) {
    for (const Codec& to : Codecs()) {
      SCOPED_TRACE(std::string(from.name) + " to " + to.name);
      std::wstring error;
      std::unique_ptr<JpegEncoder> encoder = from.encoder(error);
      std::unique_ptr<JpegDecoder> decoder = to.decoder(error);
      ASSERT_TRUE(encoder && decoder) << error;
      std::vector<std::uint8_t> jpeg, bgr;
      ASSERT_TRUE(encoder->Encode(pixels.data(), 40 * 4, 40, 24, 90, false, jpeg));
      std::uint32_t w = 0, h = 0;
      ASSERT_EQ(decoder->Decode(jpeg.data(), jpeg.size(), 128, 128, bgr, w, h), JpegDecodeResult::Decoded);
      EXPECT_EQ(w, 40u);
      EXPECT_EQ(h, 24u);
      EXPECT_GT(Psnr(bgr, pixels.data(), 40 * 4, 0, 0, 40, 24), 30.0);
    }
  }
}

TEST(JpegCodecTest, ChoiceNamesAndTheDefaultIsLibjpegTurbo) {
  JpegCodecChoice choice = JpegCodecChoice::Wic;
  EXPECT_TRUE(ParseJpegCodecChoice("turbo", choice));
  EXPECT_EQ(choice, JpegCodecChoice::Turbo);
  EXPECT_TRUE(ParseJpegCodecChoice("wic", choice));
  EXPECT_EQ(choice, JpegCodecChoice::Wic);
  for (const char* bad : {"", "Turbo", "wic ", "libjpeg"}) EXPECT_FALSE(ParseJpegCodecChoice(bad, choice)) << bad;
  // The default encoder honours quality, which the imaging component's does not everywhere.
  ComApartment apartment;
  std::wstring error;
  std::unique_ptr<JpegEncoder> encoder = JpegEncoderFactoryFor(JpegCodecChoice::Turbo)(error);
  ASSERT_TRUE(encoder) << error;
  const std::vector<std::uint8_t> pixels = RampPicture(64, 64);
  std::vector<std::uint8_t> low, high;
  ASSERT_TRUE(encoder->Encode(pixels.data(), 64 * 4, 64, 64, 22, false, low));
  ASSERT_TRUE(encoder->Encode(pixels.data(), 64 * 4, 64, 64, 90, false, high));
  EXPECT_LT(low.size(), high.size());
  std::unique_ptr<JpegEncoder> wic = JpegEncoderFactoryFor(JpegCodecChoice::Wic)(error);
  EXPECT_EQ(wic != nullptr, WicJpegCodecBuiltIn()) << error;
}

}  // namespace
}  // namespace tvx

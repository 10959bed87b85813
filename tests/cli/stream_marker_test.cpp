// The streaming benchmark's frame marker: where it goes, that it survives the JPEG path, and that
// the marked capture source hands the capture the inner picture with the marker on top.
#include "stream_marker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/com_apartment.h"
#include "marked_source.h"
#include "media/jpeg_codec.h"
#include "media/screen_capture.h"
#include "media/synthetic_source.h"
#include "media/tile_grid.h"

namespace tvx::cli {
namespace {

TEST(MarkerPlace, IsAWholeTileOfThePictureGrid) {
  struct Case {
    std::uint32_t width, height;
    MarkerPlace expected;
  };
  const Case cases[] = {
      {1920, 1080, {1664, 768, 128}},
      {3840, 2160, {3456, 1664, 128}},
      {256, 256, {128, 128, 128}},
      {300, 130, {256 - 128, 0, 128}},  // the cut-off column and row are never used
      {16384, 8192, {14592, 6144, 256}},  // a grid of larger tiles
  };
  for (const Case& c : cases) {
    const MarkerPlace p = MarkerPlaceFor(c.width, c.height);
    EXPECT_EQ(p.x, c.expected.x) << c.width << "x" << c.height;
    EXPECT_EQ(p.y, c.expected.y) << c.width << "x" << c.height;
    EXPECT_EQ(p.size, c.expected.size) << c.width << "x" << c.height;
    EXPECT_EQ(p.size, ComputeTileGeometry(c.width, c.height).tileSize);
    EXPECT_LE(p.x + p.size, c.width);
    EXPECT_LE(p.y + p.size, c.height);
  }
  EXPECT_FALSE(MarkerPlaceFor(100, 400).Valid());
  EXPECT_FALSE(MarkerPlaceFor(400, 127).Valid());
}

// A picture with something busy under the marker, so that a marker painted short of its tile
// would show.
std::vector<std::uint8_t> NoisyPicture(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 4);
  std::uint32_t state = 12345;
  for (std::uint8_t& byte : picture) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return picture;
}

TEST(Marker, ReadsBackThroughTheJpegPathAtEveryLevel) {
  ComApartment apartment;
  const std::uint32_t size = 128;
  const MarkerPlace tile{0, 0, size};
  std::wstring error;
  std::unique_ptr<JpegEncoder> encoder = CreateJpegEncoder(error);
  std::unique_ptr<JpegDecoder> decoder = CreateJpegDecoder(error);
  ASSERT_TRUE(encoder && decoder) << error;
  for (const std::uint32_t quality : {22u, 62u, 100u}) {
    for (const bool subsample420 : {false, true}) {
      for (const std::uint32_t sequence : {1u, 12345u, 0x80000001u, 0xFFFFFFFEu}) {
        std::vector<std::uint8_t> picture = NoisyPicture(size, size);
        PaintMarker(picture.data(), size * 4, tile, sequence);
        std::vector<std::uint8_t> jpeg, bgr;
        ASSERT_TRUE(encoder->Encode(picture.data(), size * 4, size, size, quality, subsample420, jpeg));
        std::uint32_t w = 0, h = 0;
        ASSERT_EQ(decoder->Decode(jpeg.data(), jpeg.size(), size, size, bgr, w, h), JpegDecodeResult::Decoded);
        ASSERT_EQ(w, size);
        ASSERT_EQ(h, size);
        std::vector<std::uint8_t> decoded(static_cast<std::size_t>(size) * size * 4, 255);
        for (std::size_t i = 0; i < static_cast<std::size_t>(size) * size; ++i) {
          std::memcpy(&decoded[i * 4], &bgr[i * 3], 3);
        }
        std::uint32_t read = 0;
        EXPECT_TRUE(ReadMarker(decoded.data(), size * 4, tile, read)) << quality << " " << subsample420;
        EXPECT_EQ(read, sequence) << quality << " " << subsample420;
      }
    }
  }
}

TEST(Marker, NothingElseReadsAsAMarker) {
  const MarkerPlace place = MarkerPlaceFor(512, 256);
  std::uint32_t read = 0;
  const std::vector<std::uint8_t> grey(512 * 256 * 4, 24);  // a fresh viewer framebuffer
  EXPECT_FALSE(ReadMarker(grey.data(), 512 * 4, place, read));
  const std::vector<std::uint8_t> white(512 * 256 * 4, 255);
  EXPECT_FALSE(ReadMarker(white.data(), 512 * 4, place, read));
  std::vector<std::uint8_t> torn(512 * 256 * 4, 0);
  PaintMarker(torn.data(), 512 * 4, place, 77);
  // The lower half of the tile from an older marker: the halves no longer match.
  std::vector<std::uint8_t> older(512 * 256 * 4, 0);
  PaintMarker(older.data(), 512 * 4, place, 76);
  const std::size_t half = static_cast<std::size_t>(place.y + place.size / 2) * 512 * 4;
  std::copy(older.begin() + static_cast<std::ptrdiff_t>(half), older.end(), torn.begin() + static_cast<std::ptrdiff_t>(half));
  EXPECT_FALSE(ReadMarker(torn.data(), 512 * 4, place, read));
}

TEST(MarkerLog, NumbersFromOneAndKnowsOnlyWhatItStamped) {
  MarkerLog log;
  EXPECT_EQ(log.Stamp(100), 1u);
  EXPECT_EQ(log.Stamp(250), 2u);
  std::int64_t micros = 0;
  EXPECT_TRUE(log.TimeOf(2, micros));
  EXPECT_EQ(micros, 250);
  EXPECT_FALSE(log.TimeOf(0, micros));
  EXPECT_FALSE(log.TimeOf(3, micros));
}

// The capture's copy of the picture must be the inner source's picture with only the marker
// tile changed, frame after frame, whatever the workload moves or repaints.
TEST(MarkedSource, CaptureSeesTheInnerPictureWithTheLatestMarker) {
  for (const SyntheticWorkload workload : {SyntheticWorkload::Typing, SyntheticWorkload::Scroll,
                                           SyntheticWorkload::Video}) {
    SCOPED_TRACE(SyntheticWorkloadName(workload));
    SyntheticOptions options;
    options.width = 640;
    options.height = 400;
    options.workload = workload;
    auto inner = std::make_unique<SyntheticSource>(options);
    const SyntheticSource* synthetic = inner.get();
    auto log = std::make_shared<MarkerLog>();
    auto marked = std::make_unique<MarkedSource>(std::move(inner), log);
    const MarkedSource* source = marked.get();
    ScreenCapture capture(std::move(marked));
    std::wstring error;
    ASSERT_TRUE(capture.Open(0, error)) << error;
    const MarkerPlace place = source->place();
    ASSERT_TRUE(place.Valid());
    const std::uint32_t markerTile = (place.y / place.size) * capture.tilesX() + place.x / place.size;

    for (std::uint32_t frame = 1; frame <= 6; ++frame) {
      ASSERT_EQ(capture.AcquireFrame(0), CaptureResult::Changed) << frame;
      EXPECT_TRUE(capture.changed().test(markerTile)) << frame;
      std::uint32_t read = 0;
      ASSERT_TRUE(ReadMarker(capture.framebuffer(), capture.stride(), place, read)) << frame;
      EXPECT_EQ(read, frame);
      std::vector<std::uint8_t> expected = synthetic->image();
      PaintMarker(expected.data(), options.width * 4, place, frame);
      for (std::uint32_t y = 0; y < options.height; ++y) {
        ASSERT_EQ(std::memcmp(capture.framebuffer() + static_cast<std::size_t>(y) * capture.stride(),
                              expected.data() + static_cast<std::size_t>(y) * options.width * 4, options.width * 4),
                  0)
            << "frame " << frame << " row " << y;
      }
    }
  }
}

TEST(MarkedSource, AnIdleScreenStaysIdleAndUnmarked) {
  SyntheticOptions options;
  options.width = 640;
  options.height = 400;
  auto log = std::make_shared<MarkerLog>();
  ScreenCapture capture(std::make_unique<MarkedSource>(std::make_unique<SyntheticSource>(options), log));
  std::wstring error;
  ASSERT_TRUE(capture.Open(0, error)) << error;
  ASSERT_EQ(capture.AcquireFrame(0), CaptureResult::Changed);  // the first picture, marked
  for (int i = 0; i < 3; ++i) EXPECT_EQ(capture.AcquireFrame(0), CaptureResult::Idle);
  std::int64_t micros = 0;
  EXPECT_TRUE(log->TimeOf(1, micros));
  EXPECT_FALSE(log->TimeOf(2, micros));
}

}  // namespace
}  // namespace tvx::cli

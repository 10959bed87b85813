#include "media/synthetic_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "media/screen_capture.h"

namespace tvx {
namespace {

struct Opened {
  SyntheticSource* source;
  std::unique_ptr<ScreenCapture> capture;
};

Opened OpenSynthetic(const SyntheticOptions& options) {
  auto source = std::make_unique<SyntheticSource>(options);
  Opened o{source.get(), std::make_unique<ScreenCapture>(std::move(source))};
  std::wstring error;
  EXPECT_TRUE(o.capture->Open(0, error)) << error;
  return o;
}

TEST(SyntheticSourceTest, PictureIsDeterministicAndDesktopLike) {
  SyntheticOptions options;
  options.width = 1366;
  options.height = 768;
  Opened a = OpenSynthetic(options);
  Opened b = OpenSynthetic(options);
  ASSERT_EQ(a.capture->AcquireFrame(0), CaptureResult::Changed);
  ASSERT_EQ(b.capture->AcquireFrame(0), CaptureResult::Changed);
  EXPECT_EQ(a.source->image(), b.source->image());
  EXPECT_EQ(a.capture->changed().count(), 66u);
  // Not a flat or repetitive picture: most tiles differ from each other.
  std::set<std::uint64_t> hashes;
  for (std::uint32_t t = 0; t < 66; ++t) hashes.insert(a.capture->grid().tileHash(t));
  EXPECT_GT(hashes.size(), 50u);
}

TEST(SyntheticSourceTest, WorkloadsChangeWhatTheyPromise) {
  struct Case {
    SyntheticWorkload workload;
    std::size_t minTiles, maxTiles;  // changed tiles per frame, rolling refresh included
    bool moves;
  };
  const Case cases[] = {
      {SyntheticWorkload::Static, 0, 0, false},
      {SyntheticWorkload::Typing, 1, 3, false},
      {SyntheticWorkload::Scroll, 10, 60, true},
      {SyntheticWorkload::Video, 40, 135, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SyntheticWorkloadName(c.workload));
    SyntheticOptions options;
    options.workload = c.workload;
    Opened o = OpenSynthetic(options);  // 1920 x 1080: 15 x 9 tiles
    ASSERT_EQ(o.capture->AcquireFrame(0), CaptureResult::Changed);
    for (int frame = 0; frame < 5; ++frame) {
      const CaptureResult r = o.capture->AcquireFrame(0);
      if (c.maxTiles == 0) {
        EXPECT_EQ(r, CaptureResult::Idle);
        continue;
      }
      ASSERT_EQ(r, CaptureResult::Changed);
      EXPECT_GE(o.capture->changed().count(), c.minTiles);
      EXPECT_LE(o.capture->changed().count(), c.maxTiles);
      std::vector<MoveRect> moves;
      o.source->MoveRects(moves);
      EXPECT_EQ(!moves.empty(), c.moves);
    }
  }
}

TEST(SyntheticSourceTest, ScrollMovesThePixelsItReports) {
  SyntheticOptions options;
  options.workload = SyntheticWorkload::Scroll;
  Opened o = OpenSynthetic(options);
  ASSERT_EQ(o.capture->AcquireFrame(0), CaptureResult::Changed);
  const std::vector<std::uint8_t> before = o.source->image();
  ASSERT_EQ(o.capture->AcquireFrame(0), CaptureResult::Changed);
  std::vector<MoveRect> moves;
  ASSERT_TRUE(o.source->MoveRects(moves));
  ASSERT_EQ(moves.size(), 1u);
  const MoveRect& m = moves[0];
  const std::size_t stride = 1920 * 4;
  for (std::int32_t y = m.destination.top; y < m.destination.bottom; y += 7) {
    const std::int32_t sy = m.sourceY + (y - m.destination.top);
    ASSERT_EQ(0, std::memcmp(o.source->image().data() + y * stride + m.destination.left * 4,
                             before.data() + sy * stride + m.sourceX * 4, m.destination.Width() * 4))
        << "row " << y;
  }
  // The framebuffer follows the picture exactly.
  EXPECT_EQ(0, std::memcmp(o.capture->framebuffer(), o.source->image().data(), o.source->image().size()));
}

TEST(SyntheticSourceTest, SizesRotationAndLimits) {
  struct Case {
    std::uint32_t width, height;
    bool opens;
  };
  const Case cases[] = {{1, 1, true},      {37, 19, true},    {300, 2000, true}, {0, 100, false},
                        {100, 0, false},   {16385, 10, false}, {10, 16385, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    SyntheticOptions options{c.width, c.height, SyntheticWorkload::Typing, 3, false};
    ScreenCapture capture(std::make_unique<SyntheticSource>(options));
    std::wstring error;
    ASSERT_EQ(capture.Open(0, error), c.opens) << error;
    if (!c.opens) {
      EXPECT_NE(error.find(L"is not possible"), std::wstring::npos);
      continue;
    }
    EXPECT_EQ(capture.rotation(), 3u);
    EXPECT_EQ(capture.AcquireFrame(0), CaptureResult::Changed);
    for (int i = 0; i < 3; ++i) capture.AcquireFrame(0);  // tiny screens must not break typing
  }
  SyntheticWorkload w;
  EXPECT_TRUE(ParseSyntheticWorkload("video", w));
  EXPECT_EQ(w, SyntheticWorkload::Video);
  EXPECT_FALSE(ParseSyntheticWorkload("Video", w));
}

}  // namespace
}  // namespace tvx

#include "media/screen_capture.h"

#include <gtest/gtest.h>

#include <memory>

#include "fake_capture_source.h"
#include "foundation/log.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

using testing::FakeCaptureSource;
using Frame = FakeCaptureSource::Frame;

std::vector<std::uint32_t> ChangedTiles(const ScreenCapture& capture) {
  std::vector<std::uint32_t> tiles;
  for (std::uint32_t t = 0; t < capture.tilesX() * capture.tilesY(); ++t) {
    if (capture.changed().test(t)) tiles.push_back(t);
  }
  return tiles;
}

class ScreenCaptureTest : public ::testing::Test {
 protected:
  // 1366 x 768: 11 x 6 tiles, so the rolling refresh adds one tile per new image.
  void SetUp() override {
    auto fake = std::make_unique<FakeCaptureSource>(1366, 768);
    fake_ = fake.get();
    capture_ = std::make_unique<ScreenCapture>(std::move(fake));
  }

  void OpenAndTakeFirstFrame() {
    std::wstring error;
    ASSERT_TRUE(capture_->Open(0, error)) << error;
    fake_->frames.push_back(Frame{.reportsMetadata = false});
    ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  }

  tvx::testing::LogCapture log_;
  FakeCaptureSource* fake_ = nullptr;
  std::unique_ptr<ScreenCapture> capture_;
};

TEST_F(ScreenCaptureTest, FirstFrameAfterOpenSendsEveryTile) {
  std::wstring error;
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::DeviceLost);  // nothing open yet
  ASSERT_TRUE(capture_->Open(0, error)) << error;
  EXPECT_TRUE(log_.Contains(L"Duplicating 1366x768 (rot 0), 11x6 tiles of 128 px"));
  EXPECT_TRUE(log_.Contains(L"Screen capture through fake duplication"));
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);  // no image yet: nothing to refresh
  // Even a frame that lists a single dirty rectangle sends everything the first time.
  fake_->Paint({0, 0, 10, 10}, 0x40);
  fake_->frames.push_back(Frame{.dirty = {{0, 0, 10, 10}}});
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  EXPECT_EQ(capture_->changed().count(), 66u);
  EXPECT_EQ(capture_->framebuffer()[0], 0x40);
  EXPECT_FALSE(fake_->held);  // every frame is released before AcquireFrame returns
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);  // time-out
}

TEST_F(ScreenCaptureTest, OpenPicksTheMonitorByIndexOrTheFirst) {
  MonitorInfo second = fake_->monitors[0];
  second.index = 1;
  second.adapterIndex = 1;
  second.outputIndex = 2;
  second.desktopRect = {1366, 0, 2732, 768};
  second.main = false;
  fake_->monitors.push_back(second);
  std::wstring error;
  ASSERT_TRUE(capture_->Open(1, error));
  EXPECT_EQ(capture_->monitorIndex(), 1u);
  EXPECT_EQ(fake_->opened.outputIndex, 2u);
  EXPECT_EQ(capture_->desktopRect(), (Rect{1366, 0, 2732, 768}));
  ASSERT_TRUE(capture_->Open(7, error));  // gone: the first monitor instead
  EXPECT_EQ(capture_->monitorIndex(), 0u);
  EXPECT_EQ(fake_->opened.adapterIndex, 0u);

  fake_->monitors.clear();
  EXPECT_FALSE(capture_->Open(0, error));
  EXPECT_EQ(error, L"No attached monitors found.");
  EXPECT_FALSE(capture_->IsOpen());
}

TEST_F(ScreenCaptureTest, OpenFailuresGiveTheirTexts) {
  struct Case {
    std::uint32_t duplicateCode;
    std::uint32_t stagingCode;
    std::wstring openError;
    std::wstring expected;  // the error starts with this
  };
  const Case cases[] = {
      {0x887A0022, 0, L"", L"Windows allows only four screen-capture apps at once. Close one and retry."},
      {0x80070005, 0, L"", L"Blocked while the secure desktop is up (UAC prompt or lock screen)."},
      {0x80004005, 0, L"", L"DuplicateOutput failed: 0x80004005 ("},
      {0, 0x8007000E, L"", L"Staging texture creation failed: 0x8007000E ("},
      {0, 0, L"D3D11CreateDevice failed: 0x887A0004 (x)", L"D3D11CreateDevice failed: 0x887A0004 (x)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.duplicateCode << " " << c.stagingCode);
    fake_->duplicateCode = c.duplicateCode;
    fake_->stagingCode = c.stagingCode;
    fake_->openError = c.openError;
    std::wstring error;
    EXPECT_FALSE(capture_->Open(0, error));
    EXPECT_EQ(error.substr(0, c.expected.size()), c.expected);
    EXPECT_FALSE(capture_->IsOpen());
    EXPECT_EQ(capture_->width(), 0u);
    EXPECT_EQ(capture_->tilesX(), 0u);
    EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::DeviceLost);
  }
}

TEST_F(ScreenCaptureTest, PointerOnlyFrameIsIdleAndLeavesTheFramebuffer) {
  OpenAndTakeFirstFrame();
  fake_->Paint({0, 0, 1366, 768}, 0x99);  // would show up if the frame were copied
  fake_->frames.push_back(Frame{.newImage = false});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);
  EXPECT_EQ(capture_->framebuffer()[0], 0);
  EXPECT_EQ(capture_->grid().sweepCursor(), 0u);  // no rolling refresh without a new image
}

TEST_F(ScreenCaptureTest, MoveMarksSourceAndDestinationTiles) {
  OpenAndTakeFirstFrame();
  // A window moved from tile (3, 1) to tile (6, 4); both places show new pixels.
  fake_->Paint({384, 128, 512, 256}, 0x11);
  fake_->Paint({768, 512, 896, 640}, 0x22);
  fake_->frames.push_back(Frame{.moves = {{384, 128, {768, 512, 896, 640}}}});
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  // Plus tile 0 from the rolling refresh.
  EXPECT_EQ(ChangedTiles(*capture_), (std::vector<std::uint32_t>{0, 14, 50}));
}

TEST_F(ScreenCaptureTest, UnchangedDirtyRectangleIsDroppedByTheHash) {
  OpenAndTakeFirstFrame();
  fake_->frames.push_back(Frame{.dirty = {{0, 300, 1366, 400}}});  // reported, but the same pixels
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  EXPECT_EQ(ChangedTiles(*capture_), (std::vector<std::uint32_t>{0}));  // only the refresh tile

  // Clipped and empty rectangles in the list mark nothing beyond the picture.
  fake_->Paint({1300, 700, 1366, 768}, 0x33);
  fake_->frames.push_back(Frame{.dirty = {{1300, 700, 5000, 5000}, {-20, -20, -10, -10}, {50, 50, 50, 90}}});
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  EXPECT_EQ(ChangedTiles(*capture_), (std::vector<std::uint32_t>{1, 65}));
}

TEST_F(ScreenCaptureTest, FailedRectangleFetchLeavesOnlyTheRollingRefresh) {
  OpenAndTakeFirstFrame();
  fake_->Paint({0, 300, 1366, 400}, 0x44);
  fake_->frames.push_back(Frame{.dirty = {{0, 300, 1366, 400}}, .dirtyFetchFails = true});
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);
  EXPECT_EQ(ChangedTiles(*capture_), (std::vector<std::uint32_t>{0}));
  // Only bands with a changed tile are copied: row 2's new pixels are not in the framebuffer yet.
  EXPECT_EQ(capture_->framebuffer()[(300 * 1366) * 4], 0);
}

TEST_F(ScreenCaptureTest, FullRefreshWithoutANewImage) {
  OpenAndTakeFirstFrame();
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);
  capture_->RequestFullRefresh();
  ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);  // on a plain time-out
  EXPECT_EQ(capture_->changed().count(), 66u);
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);
}

TEST_F(ScreenCaptureTest, FailedTextureCopyKeepsNothingToSend) {
  std::wstring error;
  ASSERT_TRUE(capture_->Open(0, error));
  fake_->frames.push_back(Frame{.reportsMetadata = false, .textureFails = true});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Idle);  // no image ever arrived
  EXPECT_TRUE(capture_->changed().none());
}

TEST_F(ScreenCaptureTest, AcquireFailuresMapToResults) {
  struct Case {
    std::uint32_t code;
    CaptureResult result;
    std::uint32_t level;
    std::wstring logged;
  };
  const Case cases[] = {
      {0x887A0005, CaptureResult::DeviceLost, kLogError, L"Graphics device lost - full reopen needed"},
      {0x887A0007, CaptureResult::DeviceLost, kLogError, L"Graphics device lost - full reopen needed"},
      {0x80004005, CaptureResult::Deferred, kLogWarning, L"AcquireNextFrame: 0x80004005 ("},
  };
  OpenAndTakeFirstFrame();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.code);
    log_.Clear();
    fake_->frames.push_back(Frame{.code = c.code});
    EXPECT_EQ(capture_->AcquireFrame(16), c.result);
    bool found = false;
    for (const auto& e : log_.Entries()) found |= e.level == c.level && e.message.find(c.logged) == 0;
    EXPECT_TRUE(found);
  }
  // Mapping the staging copy can fail too.
  fake_->mapCode = 0x887A0005;
  fake_->Paint({0, 0, 5, 5}, 1);
  fake_->frames.push_back(Frame{.dirty = {{0, 0, 5, 5}}});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Deferred);
  EXPECT_TRUE(log_.Contains(L"Map staging failed: 0x887A0005"));
  EXPECT_TRUE(capture_->changed().none());
}

TEST_F(ScreenCaptureTest, AccessLostRebuildsTheDuplication) {
  for (std::uint32_t code : {0x887A0026u, 0x887A0001u}) {  // ACCESS_LOST, INVALID_CALL
    OpenAndTakeFirstFrame();
    log_.Clear();
    fake_->frames.push_back(Frame{.code = code});
    EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Reopened);
    EXPECT_TRUE(log_.Contains(L"Duplication rebuilt after ACCESS_LOST"));
    EXPECT_EQ(fake_->openCount, 1);  // the device stayed
    fake_->frames.push_back(Frame{.dirty = {}});
    ASSERT_EQ(capture_->AcquireFrame(16), CaptureResult::Changed);  // everything is sent again
    EXPECT_EQ(capture_->changed().count(), 66u);
    fake_->openCount = 0;
  }

  // A rebuild that fails leaves nothing open; the caller reopens from scratch.
  fake_->duplicateCode = 0x80070005;
  fake_->frames.push_back(Frame{.code = 0x887A0026});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Deferred);
  EXPECT_TRUE(log_.Contains(L"Duplication rebuild deferred: Blocked while the secure desktop is up"));
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::DeviceLost);
}

TEST_F(ScreenCaptureTest, DisplayChangeReopensTheMonitor) {
  OpenAndTakeFirstFrame();
  fake_->stale = true;
  fake_->frames.push_back(Frame{.code = 0x887A0026, .before = [](FakeCaptureSource& f) { f.SetSize(1920, 1080); }});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Reopened);
  EXPECT_TRUE(log_.Contains(L"Displays changed - capture reopened at 1920x1080"));
  EXPECT_EQ(capture_->tilesX(), 15u);
  EXPECT_EQ(capture_->tilesY(), 9u);

  fake_->monitors.clear();
  fake_->frames.push_back(Frame{.code = 0x887A0026});
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::Deferred);
  EXPECT_TRUE(log_.Contains(L"Reopen after a display change deferred: No attached monitors found."));
  EXPECT_EQ(capture_->AcquireFrame(16), CaptureResult::DeviceLost);
}

TEST_F(ScreenCaptureTest, RotationIsPassedOnNotApplied) {
  fake_->rotation = 1;
  std::wstring error;
  ASSERT_TRUE(capture_->Open(0, error));
  EXPECT_EQ(capture_->rotation(), 1u);
  EXPECT_EQ(capture_->width(), 1366u);
  EXPECT_TRUE(log_.Contains(L"(rot 1)"));
}

TEST(ScreenCaptureFallbackTest, UnavailableDuplicationFallsBackOnce) {
  tvx::testing::LogCapture log;
  auto primary = std::make_unique<FakeCaptureSource>(640, 480);
  primary->duplicateCode = 0x80004001;  // E_NOTIMPL, as under emulation
  int made = 0;
  ScreenCapture capture(std::move(primary), [&made] {
    ++made;
    auto gdi = std::make_unique<FakeCaptureSource>(640, 480);
    gdi->name = L"GDI";
    return gdi;
  });
  std::wstring error;
  ASSERT_TRUE(capture.Open(0, error)) << error;
  EXPECT_EQ(std::wstring(capture.SourceName()), L"GDI");
  EXPECT_TRUE(log.Contains(L"Desktop duplication unavailable (DuplicateOutput failed: 0x80004001"));
  EXPECT_EQ(log.Count(L"Screen capture through GDI"), 1u);
  ASSERT_TRUE(capture.Open(0, error));
  EXPECT_EQ(made, 1);
  EXPECT_EQ(log.Count(L"Screen capture through"), 1u);  // named once

  // Any other failure is reported as it is.
  auto blocked = std::make_unique<FakeCaptureSource>(640, 480);
  blocked->duplicateCode = 0x80070005;
  ScreenCapture other(std::move(blocked), [&made] {
    ++made;
    return std::make_unique<FakeCaptureSource>(640, 480);
  });
  EXPECT_FALSE(other.Open(0, error));
  EXPECT_EQ(made, 1);
  EXPECT_EQ(error, L"Blocked while the secure desktop is up (UAC prompt or lock screen).");
}

}  // namespace
}  // namespace tvx

// The window frame's arithmetic: DPI scaling, hit-test regions, placement restore, paint pacing.
#include <gtest/gtest.h>

#include <vector>

#include "ui/paint_pacing.h"
#include "ui/window_geometry.h"

namespace tvx::ui {
namespace {

TEST(WindowGeometry, ScalesLengthsForDpi) {
  struct Case { int value, dpi, expected; };
  const Case cases[] = {
      {38, 96, 38}, {38, 144, 57}, {46, 144, 69}, {1060, 120, 1325}, {1, 144, 2},  // 1.5 rounds up
      {3, 144, 5}, {-3, 144, -5}, {980, 192, 1960}, {0, 144, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.expected) << c.value << "@" << c.dpi;
}

TEST(WindowGeometry, RescalesARectangleAroundItsCorner) {
  EXPECT_EQ(RescaleForDpi({100, 50, 1000, 670}, 96, 144), (PixelRect{100, 50, 1450, 980}));
  EXPECT_EQ(RescaleForDpi({-200, 10, 100, 210}, 144, 96), (PixelRect{-200, 10, 0, 143}));
  EXPECT_EQ(RescaleForDpi({1, 2, 3, 4}, 96, 96), (PixelRect{1, 2, 3, 4}));
  EXPECT_EQ(RescaleForDpi({1, 2, 3, 4}, 0, 96), (PixelRect{1, 2, 3, 4}));  // no division by zero
}

TEST(WindowGeometry, ResizeEdgesOfAWindow) {
  const PixelRect w{100, 100, 500, 400};
  const int b = 8;
  struct Case { int x, y; FrameHit expected; };
  const Case cases[] = {
      {100, 100, FrameHit::TopLeft},     {499, 100, FrameHit::TopRight},
      {100, 399, FrameHit::BottomLeft},  {499, 399, FrameHit::BottomRight},
      {107, 250, FrameHit::Left},        {108, 250, FrameHit::Client},
      {492, 250, FrameHit::Right},       {491, 250, FrameHit::Client},
      {300, 107, FrameHit::Top},         {300, 108, FrameHit::Client},
      {300, 392, FrameHit::Bottom},      {300, 391, FrameHit::Client},
      {107, 392, FrameHit::BottomLeft},  {492, 107, FrameHit::TopRight},
  };
  for (const Case& c : cases) EXPECT_EQ(ResizeEdgeAt(w, c.x, c.y, b), c.expected) << c.x << "," << c.y;
}

TEST(WindowGeometry, TitleBandButtonsAndCaption) {
  TitleBandLayout withMax{900, 1.5f, true};  // band 57 high, buttons 69 wide from x = 693
  EXPECT_FLOAT_EQ(withMax.ButtonsLeft(), 900 - 3 * 69);
  struct Case { float x, y; TitleBandPart expected; };
  const Case cases[] = {
      {10, 10, TitleBandPart::Caption},     {692.9f, 56.9f, TitleBandPart::Caption},
      {693, 5, TitleBandPart::Minimise},    {761.9f, 5, TitleBandPart::Minimise},
      {762, 5, TitleBandPart::Maximise},    {831, 5, TitleBandPart::Close},
      {899.9f, 0, TitleBandPart::Close},    {10, 57, TitleBandPart::Outside},
      {900, 5, TitleBandPart::Outside},     {-1, 5, TitleBandPart::Outside},
  };
  for (const Case& c : cases) EXPECT_EQ(withMax.PartAt(c.x, c.y), c.expected) << c.x << "," << c.y;

  TitleBandLayout noMax{400, 1.0f, false};
  EXPECT_EQ(noMax.PartAt(400 - 46 - 1, 5), TitleBandPart::Minimise);
  EXPECT_EQ(noMax.PartAt(400 - 92 - 1, 5), TitleBandPart::Caption);
}

TEST(WindowGeometry, RestoresOnlyLargeEnoughPlacementsOnAMonitor) {
  const std::vector<PixelRect> monitors{{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
  struct Case { SavedPlacement p; bool expected; };
  const Case cases[] = {
      {{100, 100, 900, 620}, true},
      {{100, 100, 250, 900}, false},       // too narrow
      {{100, 100, 300, 199}, false},       // too low
      {{100, 100, 300, 200}, true},        // smallest accepted
      {{3000, 500, 800, 600}, true},       // second monitor, partly off it
      {{3200, 0, 800, 600}, false},        // just right of everything
      {{-800, -600, 800, 600}, false},     // ends where the first monitor begins
      {{-799, -599, 800, 600}, true},      // one pixel overlaps
      {{0, 1080, 900, 620}, false},        // below both
      {{2147483000, 0, 900, 620}, false},  // far away, no overflow
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanRestorePlacement(c.p, monitors), c.expected) << c.p.x << "," << c.p.y << " " << c.p.w << "x" << c.p.h;
  }
  EXPECT_FALSE(CanRestorePlacement({100, 100, 900, 620}, {}));
}

TEST(WindowGeometry, CentresInTheWorkArea) {
  int x = 0, y = 0;
  CentreIn({0, 0, 1280, 760}, 901, 621, x, y);
  EXPECT_EQ(x, 189);
  EXPECT_EQ(y, 69);
  CentreIn({1920, 40, 3200, 1024}, 2000, 100, x, y);  // larger than the area: left of it
  EXPECT_EQ(x, 1920 - 360);
  EXPECT_EQ(y, 40 + 442);
}

TEST(PaintPacing, AtMostOneFramePerFourMilliseconds) {
  PaintPacing pacing;
  EXPECT_TRUE(pacing.TryPaint(1'000'000));
  EXPECT_FALSE(pacing.TryPaint(1'000'001));
  EXPECT_FALSE(pacing.TryPaint(1'003'999));
  EXPECT_TRUE(pacing.TryPaint(1'004'000));
  EXPECT_FALSE(pacing.TryPaint(1'005'000));  // counted from the last frame drawn, not the last request
  EXPECT_TRUE(pacing.TryPaint(1'008'000));
  PaintPacing fresh;
  EXPECT_TRUE(fresh.TryPaint(0));  // the first frame is never held back
}

TEST(PaintPacing, TimerRepaintsOnlyWhenSomethingIsShown) {
  using T = PaintPacing::TickState;
  EXPECT_FALSE(PaintPacing::ShouldInvalidateOnTick(T{}));
  EXPECT_TRUE(PaintPacing::ShouldInvalidateOnTick(T{true, false, false, false}));
  EXPECT_TRUE(PaintPacing::ShouldInvalidateOnTick(T{false, true, false, false}));
  EXPECT_TRUE(PaintPacing::ShouldInvalidateOnTick(T{false, false, true, false}));
  EXPECT_TRUE(PaintPacing::ShouldInvalidateOnTick(T{false, false, false, true}));
}

}  // namespace
}  // namespace tvx::ui

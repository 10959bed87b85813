// The interaction core: hit-testing, the id/hot/active recipe, capture and modal blocking, and the
// end-of-frame rules.
#include "surface_fixture.h"

namespace tvx::ui {
namespace {

using testing::SurfaceTest;

const Rect kButton{100, 100, 200, 130};
const Rect kOther{300, 100, 400, 130};

TEST_F(SurfaceTest, MouseInIsHalfOpenAndLimitedByTheClip) {
  struct Case {
    float x, y;
    bool clipped;
    bool inside;
  } cases[] = {
      {100, 100, false, true},  {199.9f, 129.9f, false, true}, {200, 110, false, false}, {150, 130, false, false},
      {99.9f, 110, false, false}, {150, 110, true, true},      {180, 110, true, false},  // clip ends at 160
  };
  for (const Case& c : cases) {
    MoveTo(c.x, c.y);
    bool inside = false;
    Frame([&] {
      if (c.clipped) surface.PushClip({0, 0, 160, 600});
      inside = surface.MouseIn(kButton);
    });
    EXPECT_EQ(inside, c.inside) << c.x << "," << c.y;
  }
  LeaveWindow();
  bool inside = true;
  Frame([&] { inside = surface.MouseIn({-10, -10, 10, 10}); });
  EXPECT_FALSE(inside) << "a mouse that left the window is nowhere";
}

TEST_F(SurfaceTest, ClickIsPressAndReleaseOverTheSameWidget) {
  MoveTo(150, 115);
  Press();
  bool clicked = true;
  bool hovered = false;
  Frame([&] { clicked = surface.ButtonBehaviour(7, kButton, true, &hovered); });
  EXPECT_FALSE(clicked);
  EXPECT_TRUE(hovered);
  EXPECT_EQ(surface.active_id(), 7u);
  EXPECT_EQ(surface.hot_id(), 7u);
  Release();
  Frame([&] { clicked = surface.ButtonBehaviour(7, kButton, true, &hovered); });
  EXPECT_TRUE(clicked);
  EXPECT_EQ(surface.active_id(), 0u);
}

TEST_F(SurfaceTest, ReleaseOutsideTheRectIsNoClick) {
  MoveTo(150, 115);
  Press();
  Frame([&] { surface.ButtonBehaviour(7, kButton, true); });
  MoveTo(350, 115);  // over another button
  Release();
  bool first = true, second = true;
  Frame([&] {
    first = surface.ButtonBehaviour(7, kButton, true);
    second = surface.ButtonBehaviour(8, kOther, true);
  });
  EXPECT_FALSE(first);
  EXPECT_FALSE(second) << "a release without a press on it clicks nothing";
  EXPECT_EQ(surface.active_id(), 0u);
}

TEST_F(SurfaceTest, PressIsConsumedByTheFirstWidget) {
  // Two overlapping widgets: the one called first takes the press.
  MoveTo(150, 115);
  Press();
  Frame([&] {
    surface.ButtonBehaviour(1, kButton, true);
    surface.ButtonBehaviour(2, kButton, true);
  });
  EXPECT_EQ(surface.active_id(), 1u);
  Release();
  bool first = false, second = true;
  Frame([&] {
    first = surface.ButtonBehaviour(1, kButton, true);
    second = surface.ButtonBehaviour(2, kButton, true);
  });
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
}

TEST_F(SurfaceTest, DisabledWidgetNeitherHoversNorClicks) {
  MoveTo(150, 115);
  Press();
  bool hovered = true;
  Frame([&] { surface.ButtonBehaviour(7, kButton, false, &hovered); });
  EXPECT_FALSE(hovered);
  EXPECT_EQ(surface.active_id(), 0u);
  EXPECT_EQ(surface.hot_id(), 0u);
}

TEST_F(SurfaceTest, CaptureBlocksEveryOtherWidget) {
  surface.OpenPopup(50);
  MoveTo(150, 115);
  Press();
  bool hovered = true;
  Frame([&] {
    surface.ButtonBehaviour(7, kButton, true, &hovered);
    EXPECT_TRUE(surface.IsBlocked(7));
    EXPECT_FALSE(surface.IsBlocked(50));
    EXPECT_TRUE(surface.IsBlocked(0)) << "plain content is blocked too";
  });
  EXPECT_FALSE(hovered);
  EXPECT_EQ(surface.active_id(), 0u);
  EXPECT_EQ(surface.capture_id(), 0u) << "the press on another widget only closed the popup";
  // With the popup gone the same widget works again.
  Release();
  Frame([] {});
  Press();
  Frame([&] { surface.ButtonBehaviour(7, kButton, true, &hovered); });
  EXPECT_TRUE(hovered);
  EXPECT_EQ(surface.active_id(), 7u);
}

TEST_F(SurfaceTest, PopupContentIsNotBlockedByItsOwnCapture) {
  surface.OpenPopup(50);
  MoveTo(150, 115);
  Press();
  Frame([&] {
    surface.Defer([&] {
      surface.BeginPopupContent();
      surface.ButtonBehaviour(51, kButton, true);
      surface.EndPopupContent();
    });
  });
  EXPECT_EQ(surface.active_id(), 51u);
  EXPECT_EQ(surface.capture_id(), 50u) << "a press taken inside the popup keeps it open";
}

TEST_F(SurfaceTest, ModalBlocksWidgetsOutsideIt) {
  MoveTo(150, 115);
  Press();
  bool outside = true;
  bool inside = false;
  Frame([&] {
    surface.SetModalOpen(true);
    surface.ButtonBehaviour(7, kButton, true, &outside);
    surface.BeginModal();
    surface.ButtonBehaviour(8, kButton, true, &inside);
    surface.EndModal();
  });
  EXPECT_FALSE(outside);
  EXPECT_TRUE(inside);
  EXPECT_EQ(surface.active_id(), 8u);
  EXPECT_FALSE(surface.modal_open()) << "the modal flag is per frame";
}

TEST_F(SurfaceTest, PressOnEmptySpaceClosesPopupsAndEndsEditing) {
  surface.OpenPopup(50);
  surface.SetFocus(60);
  MoveTo(600, 500);
  Press();
  Frame([&] { surface.ButtonBehaviour(7, kButton, true); });
  EXPECT_EQ(surface.capture_id(), 0u);
  EXPECT_EQ(surface.focus_id(), 0u);
}

TEST_F(SurfaceTest, PressTakenByAWidgetKeepsFocusElsewhere) {
  surface.SetFocus(60);
  MoveTo(150, 115);
  Press();
  Frame([&] { surface.ButtonBehaviour(7, kButton, true); });
  EXPECT_EQ(surface.focus_id(), 60u);
}

TEST_F(SurfaceTest, ReleaseAnywhereEndsThePress) {
  MoveTo(150, 115);
  Press();
  Frame([&] { surface.ButtonBehaviour(7, kButton, true); });
  Release();
  Frame([] {});  // the widget is not drawn in the release frame
  EXPECT_EQ(surface.active_id(), 0u);
}

TEST_F(SurfaceTest, BeginFrameResetsAndEndFrameUnwinds) {
  MoveTo(150, 115);
  Frame([&] {
    surface.ButtonBehaviour(7, kButton, true);
    surface.PushClip({0, 0, 50, 50});
    surface.PushClip({10, 10, 100, 100});
  });
  EXPECT_EQ(canvas.clip_depth(), 0u) << "leftover clips are popped";
  ASSERT_FALSE(canvas.ops().empty());
  EXPECT_EQ(canvas.ops().front().kind, DrawOp::Kind::Clear);
  EXPECT_EQ(canvas.ops().front().colour, surface.Colour(ThemeColour::Background));
  LeaveWindow();
  Frame([] {});
  EXPECT_EQ(surface.hot_id(), 0u);
}

TEST_F(SurfaceTest, NestedClipsIntersectAndArePixelAligned) {
  Frame([&] {
    surface.PushClip({10.4f, 10.6f, 100.2f, 100.5f});
    surface.PushClip({50, 0, 200, 60});
    surface.FillRect({0, 0, 500, 500}, 0xFFFFFFFF);
  });
  const auto fills = canvas.Find(DrawOp::Kind::FillRect);
  ASSERT_EQ(fills.size(), 1u);
  ASSERT_TRUE(fills[0]->has_clip);
  EXPECT_EQ(fills[0]->clip, (Rect{50, 10, 101, 60}));
}

TEST_F(SurfaceTest, DeferredDrawsRunInOrderAfterTheContent) {
  std::vector<int> order;
  Frame([&] {
    surface.Defer([&] { order.push_back(2); });
    surface.Defer([&] {
      order.push_back(3);
      surface.Defer([&] { order.push_back(4); });  // a popup opening another
    });
    order.push_back(1);
  });
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  order.clear();
  Frame([] {});
  EXPECT_TRUE(order.empty()) << "the list is cleared each frame";
}

TEST_F(SurfaceTest, TakeWheelOnlyOverUnblockedContent) {
  MoveTo(150, 115);
  input.wheel = 2;
  float taken = 0;
  float again = 0;
  Frame([&] {
    taken = surface.TakeWheel(kButton);
    again = surface.TakeWheel(kButton);
  });
  EXPECT_EQ(taken, 2);
  EXPECT_EQ(again, 0);
  surface.OpenPopup(50);
  input.wheel = 1;
  Frame([&] { taken = surface.TakeWheel(kButton); });
  EXPECT_EQ(taken, 0);
}

TEST_F(SurfaceTest, IdleSurfaceAsksForNoFrames) {
  LeaveWindow();
  Frame([&] { surface.Button(7, kButton, L"OK"); });
  Frame([&] { surface.Button(7, kButton, L"OK"); });
  EXPECT_FALSE(surface.NeedsAnotherFrame());
  EXPECT_EQ(surface.NextAnimationMs(), -1);
  // Hover changes ask for one more frame, then it settles.
  MoveTo(150, 115);
  Frame([&] { surface.Button(7, kButton, L"OK"); });
  EXPECT_TRUE(surface.NeedsAnotherFrame());
  Frame([&] { surface.Button(7, kButton, L"OK"); });
  EXPECT_FALSE(surface.NeedsAnotherFrame());
  // A press is handled after earlier widgets drew: one more frame.
  Press();
  Frame([&] { surface.Button(7, kButton, L"OK"); });
  EXPECT_TRUE(surface.NeedsAnotherFrame());
}

TEST_F(SurfaceTest, FillRoundedRectLimitsTheRadius) {
  Frame([&] { surface.FillRoundedRect({0, 0, 40, 10}, 20, 0xFFFFFFFF); });
  const auto fills = canvas.Find(DrawOp::Kind::FillRoundedRect);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0]->radius_x, 5);
}

TEST_F(SurfaceTest, TextUsesTheStylesDefaultColour) {
  Frame([&] {
    surface.Text(L"a", {0, 0, 100, 20}, TextStyle::SmallDim);
    surface.Text(L"b", {0, 0, 100, 20}, TextStyle::Body, TextAlign::Centre, 0xFF112233);
  });
  EXPECT_EQ(canvas.FindText(L"a")->colour, surface.Colour(ThemeColour::TextDim));
  EXPECT_EQ(canvas.FindText(L"b")->colour, 0xFF112233u);
  EXPECT_EQ(canvas.FindText(L"b")->align, TextAlign::Centre);
}

TEST_F(SurfaceTest, IconBitmapIsMadeOnceAndAgainAfterDeviceLoss) {
  surface.SetIcon(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
  Frame([&] { surface.DrawIcon({0, 0, 18, 18}); });
  Frame([&] { surface.DrawIcon({0, 0, 18, 18}); });
  EXPECT_EQ(canvas.bitmap_count(), 1u);
  const auto draws = canvas.Find(DrawOp::Kind::Bitmap);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0]->interpolation, Interpolation::HighQualityCubic);
  canvas.LoseDevice();
  Frame([&] { surface.DrawIcon({0, 0, 18, 18}); });
  ASSERT_EQ(canvas.bitmap_count(), 1u);
  const auto* pixels = canvas.BitmapPixels(canvas.Find(DrawOp::Kind::Bitmap)[0]->bitmap);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ((*pixels)[1], 0xFF00FF00u);
  surface.SetIcon(1, 1, {});  // too few pixels: no icon
  EXPECT_FALSE(surface.HasIcon());
}

}  // namespace
}  // namespace tvx::ui

#include "media/overlay_renderer.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ui/recording_canvas.h"

namespace tvx {
namespace {


// The window's half as the renderer sees it: a canvas, results on demand, the regions handed over.
class FakeTarget final : public OverlayTarget {
 public:
  bool ready = true;
  OverlayDrawResult nextEnd = OverlayDrawResult::Ok;
  bool partialFails = false;
  int draws = 0;
  int recreations = 0;
  int keepOnTop = 0;
  std::vector<std::optional<ui::PixelBounds>> presented;  // nullopt: the whole window
  ui::RecordingCanvas canvas;

  bool Ready() override { return ready; }
  ui::Canvas& BeginDraw() override {
    ++draws;
    canvas.ClearOps();
    return canvas;
  }
  OverlayDrawResult EndDraw() override {
    const OverlayDrawResult result = nextEnd;
    nextEnd = OverlayDrawResult::Ok;
    return result;
  }
  void RecreateTarget() override { ++recreations; }
  bool Present(const ui::PixelBounds* region) override {
    presented.push_back(region ? std::optional<ui::PixelBounds>(*region) : std::nullopt);
    return !(region && partialFails);
  }
  void KeepOnTop() override { ++keepOnTop; }
};

AnnotationSnapshot WithArrow(std::uint64_t counter, float x) {
  AnnotationSnapshot s;
  s.changeCounter = counter;
  Drawing d;
  d.kind = DrawingShape::kArrow;
  d.colour = 0xFFFF0000u;
  d.width = 3;
  d.points = {{x, 0.5f}, {x + 0.05f, 0.5f}};
  s.drawings.push_back(d);
  return s;
}

AnnotationSnapshot Empty(std::uint64_t counter) {
  AnnotationSnapshot s;
  s.changeCounter = counter;
  return s;
}

class OverlayRendererTest : public ::testing::Test {
 protected:
  OverlayRenderer renderer{1920, 1080};
  FakeTarget target;
  ui::PixelBounds ArrowBounds(float x) { return renderer.painter().SnapshotBounds(WithArrow(0, x), {1920, 1080}); }
};

TEST_F(OverlayRendererTest, FirstPaintClearsTheWholeWindowThenEmptyStaysIdle) {
  EXPECT_EQ(renderer.Render(Empty(0), 0, target), OverlayRenderOutcome::Painted);
  ASSERT_EQ(target.presented.size(), 1u);
  EXPECT_EQ(target.presented[0], (ui::PixelBounds{0, 0, 1920, 1080}));  // what a resize may have left
  ASSERT_FALSE(target.canvas.ops().empty());
  EXPECT_EQ(target.canvas.ops()[0].kind, ui::DrawOp::Kind::Clear);
  EXPECT_EQ(target.canvas.ops()[0].colour, 0u);

  // Still nothing to show, the counter moved: nothing painted, no keep-on-top either.
  EXPECT_EQ(renderer.Render(Empty(1), 5, target), OverlayRenderOutcome::StillEmpty);
  EXPECT_EQ(target.draws, 1);
  EXPECT_EQ(renderer.lastCounter(), 1u);
}

TEST_F(OverlayRendererTest, UnchangedSnapshotPaintsNothingUnlessItAnimates) {
  ASSERT_EQ(renderer.Render(WithArrow(7, 0.2f), 0, target), OverlayRenderOutcome::Painted);
  const int topBefore = target.keepOnTop;
  EXPECT_EQ(renderer.Render(WithArrow(7, 0.2f), 5, target), OverlayRenderOutcome::Unchanged);
  EXPECT_EQ(target.draws, 1);
  EXPECT_EQ(target.presented.size(), 1u);
  EXPECT_EQ(target.keepOnTop, topBefore + 1);

  AnnotationSnapshot animating = WithArrow(7, 0.2f);
  animating.animating = true;
  EXPECT_EQ(renderer.Render(animating, 10, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.draws, 2);
}

TEST_F(OverlayRendererTest, UpdatesTheUnionOfOldAndNewBounds) {
  renderer.Render(Empty(0), 0, target);  // the window is clear
  ASSERT_EQ(renderer.Render(WithArrow(1, 0.2f), 5, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.presented.back(), ArrowBounds(0.2f));  // after an empty paint: only the new bounds

  ASSERT_EQ(renderer.Render(WithArrow(2, 0.6f), 10, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.presented.back(), ArrowBounds(0.2f).Union(ArrowBounds(0.6f)));

  // The drawing goes: its old place is cleared.
  ASSERT_EQ(renderer.Render(Empty(3), 15, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.presented.back(), ArrowBounds(0.6f));
  EXPECT_TRUE(renderer.previousBounds().Empty());
  EXPECT_EQ(renderer.Render(Empty(4), 20, target), OverlayRenderOutcome::StillEmpty);

  // A resize makes the next paint hand over the whole window.
  renderer.Resize(800, 600);
  ASSERT_EQ(renderer.Render(Empty(4), 25, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.presented.back(), (ui::PixelBounds{0, 0, 800, 600}));
}

TEST_F(OverlayRendererTest, FailedPartialUpdateFallsBackToTheWholeWindow) {
  target.partialFails = true;
  ASSERT_EQ(renderer.Render(WithArrow(1, 0.2f), 0, target), OverlayRenderOutcome::Painted);
  ASSERT_EQ(target.presented.size(), 2u);
  EXPECT_TRUE(target.presented[0].has_value());
  EXPECT_FALSE(target.presented[1].has_value());
  EXPECT_TRUE(renderer.lastUpdateWasWhole());
}

TEST_F(OverlayRendererTest, LostTargetIsRebuiltAndTheNextRenderRepaints) {
  target.nextEnd = OverlayDrawResult::RecreateTarget;
  EXPECT_EQ(renderer.Render(WithArrow(1, 0.2f), 0, target), OverlayRenderOutcome::TargetLost);
  EXPECT_EQ(target.recreations, 1);
  EXPECT_TRUE(target.presented.empty());  // a lost frame is not shown
  // Same counter, not animating: repainted anyway, over the whole window the first paint owed.
  EXPECT_EQ(renderer.Render(WithArrow(1, 0.2f), 5, target), OverlayRenderOutcome::Painted);
  EXPECT_EQ(target.draws, 2);
  ASSERT_EQ(target.presented.size(), 1u);
  EXPECT_EQ(target.presented[0], (ui::PixelBounds{0, 0, 1920, 1080}));

  // Another failure stops the paint without handing anything over; the same snapshot is retried.
  target.nextEnd = OverlayDrawResult::Failed;
  EXPECT_EQ(renderer.Render(WithArrow(2, 0.2f), 10, target), OverlayRenderOutcome::DrawFailed);
  EXPECT_EQ(target.presented.size(), 1u);
  EXPECT_EQ(renderer.Render(WithArrow(2, 0.2f), 15, target), OverlayRenderOutcome::Painted);

  target.ready = false;
  EXPECT_EQ(renderer.Render(WithArrow(3, 0.2f), 20, target), OverlayRenderOutcome::NotReady);
  EXPECT_EQ(target.draws, 4);
}

}  // namespace
}  // namespace tvx

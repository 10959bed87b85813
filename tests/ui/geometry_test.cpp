// Transforms, paths and the recording canvas's text metrics that the widget tests stand on.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ui/geometry.h"
#include "ui/path.h"
#include "ui/recording_canvas.h"

namespace tvx::ui {
namespace {

void ExpectNear(Point a, Point b) {
  EXPECT_NEAR(a.x, b.x, 1e-4);
  EXPECT_NEAR(a.y, b.y, 1e-4);
}

TEST(TransformTest, ComposesInOrder) {
  // The arrow-head recipe: scale, then rotate, then move.
  const Transform t = Transform::Scale(2, 2).Then(Transform::Rotation(90)).Then(Transform::Translation(10, 20));
  ExpectNear(t.Apply({1, 0}), {10, 22});  // (2, 0) turned a quarter clockwise on screen is (0, 2)
  ExpectNear(t.Apply({0, 1}), {8, 20});
  EXPECT_TRUE(Transform::Identity().IsIdentity());
  EXPECT_FALSE(t.IsIdentity());
}

TEST(PathTest, FlatteningKeepsEndsAndStaysNearTheCurve) {
  Path heart;
  heart.MoveTo({0, 1}).CubicTo({-1.35f, 0.05f}, {-1.05f, -0.95f}, {0, -0.35f});
  heart.CubicTo({1.05f, -0.95f}, {1.35f, 0.05f}, {0, 1}).Close();
  const Path flat = heart.Transformed(Transform::Scale(100, 100)).Flattened(0.25f);
  int lines = 0;
  for (const Path::Segment& s : flat.segments()) {
    EXPECT_NE(s.verb, Path::Verb::Cubic);
    if (s.verb == Path::Verb::Line) ++lines;
  }
  EXPECT_GT(lines, 8);
  ASSERT_GE(flat.segments().size(), 3u);
  EXPECT_EQ(flat.segments().back().verb, Path::Verb::Close);
  ExpectNear(flat.segments()[flat.segments().size() - 2].p[0], {0, 100});
  // The bounds of the control polygon hold every flattened point.
  const Rect bounds = heart.Transformed(Transform::Scale(100, 100)).Bounds();
  EXPECT_EQ(bounds, (Rect{-135, -95, 135, 100}));
  for (const Path::Segment& s : flat.segments()) {
    if (s.verb == Path::Verb::Close) continue;
    EXPECT_GE(s.p[0].x, bounds.left - 1e-3);
    EXPECT_LE(s.p[0].x, bounds.right + 1e-3);
  }
  EXPECT_TRUE(Path().Bounds().Empty());
}

TEST(RecordingCanvasTest, DeterministicTextMetrics) {
  RecordingCanvas canvas;
  canvas.SetTextScale(1.5f);
  EXPECT_FLOAT_EQ(canvas.MeasureText(L"abc ", TextStyle::Body), 4 * 14 * 1.5f * 0.5f);
  std::vector<float> carets;
  canvas.CaretPositions(L"ab", TextStyle::Small, carets);
  EXPECT_EQ(carets, (std::vector<float>{0, 9, 18}));
  EXPECT_FLOAT_EQ(canvas.LineHeight(TextStyle::Title), 20 * 1.5f * 1.25f);
  TextFormat note;
  note.size = 10;
  note.wrap = true;
  // Five-pixel advances: "aaaa bbbb" is 45 wide; in 30 it wraps to two lines of 20.
  const Size one = canvas.MeasureTextLayout(L"aaaa bbbb", note, 100, 1000);
  EXPECT_FLOAT_EQ(one.width, 45);
  EXPECT_FLOAT_EQ(one.height, 12.5f);
  const Size two = canvas.MeasureTextLayout(L"aaaa bbbb", note, 30, 1000);
  EXPECT_FLOAT_EQ(two.height, 25);
  EXPECT_LE(two.width, 30);
}

TEST(RecordingCanvasTest, BitmapsUpdateByRectangleAndRejectBadOnes) {
  RecordingCanvas canvas;
  const std::vector<std::uint32_t> pixels(4, 0xFF000000u);
  const BitmapHandle b = canvas.CreateBitmap(2, 2, pixels.data(), 8);
  ASSERT_NE(b, 0u);
  const std::uint32_t white = 0xFFFFFFFFu;
  EXPECT_TRUE(canvas.UpdateBitmap(b, 1, 1, 1, 1, &white, 4));
  EXPECT_EQ((*canvas.BitmapPixels(b))[3], white);
  EXPECT_FALSE(canvas.UpdateBitmap(b, 1, 1, 2, 1, &white, 4));
  EXPECT_EQ(canvas.CreateBitmap(0, 5, nullptr, 0), 0u);
  canvas.ReleaseBitmap(b);
  EXPECT_FALSE(canvas.HasBitmap(b));
}

}  // namespace
}  // namespace tvx::ui

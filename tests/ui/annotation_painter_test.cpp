#include "ui/annotation_painter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ui/recording_canvas.h"

namespace tvx::ui {
namespace {


constexpr Size k1080{1920, 1080};
constexpr Size k2160{3840, 2160};
constexpr std::uint32_t kRed = 0xFFFF0000u;

Drawing MakeDrawing(DrawingShape kind, std::vector<DrawingPoint> points, float width = 3) {
  Drawing d;
  d.kind = kind;
  d.colour = kRed;
  d.width = width;
  d.points = std::move(points);
  return d;
}

// --- Arithmetic -------------------------------------------------------------------------------

TEST(AnnotationLayout, StrokeHaloAndHeadScaleWithTheScreenHeight) {
  struct Case {
    float height, width, minStroke, stroke, halo, head;
  } cases[] = {
      {1080, 3, kOverlayMinStroke, 3, 5.1f, 12.6f},
      {2160, 3, kOverlayMinStroke, 6, 10.2f, 25.2f},
      {1080, 1, kOverlayMinStroke, 1, 3, 12},          // thin: the halo and head keep their least sizes
      {540, 1, kOverlayMinStroke, 1, 3, 12},           // 0.5 px is raised to the overlay's 1 px
      {540, 1, kRemoteMinStroke, 1.5f, 3.5f, 12},      // and to the remote window's 1.5 px
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.height << " lines, width " << c.width);
    const float stroke = StrokeWidth(c.height, c.width, c.minStroke);
    EXPECT_FLOAT_EQ(stroke, c.stroke);
    EXPECT_FLOAT_EQ(HaloWidth(stroke), c.halo);
    EXPECT_FLOAT_EQ(ArrowHeadSize(stroke), c.head);
  }
}

TEST(AnnotationLayout, DrawingsFadeOverTheLast700MsOfTheirLifetime) {
  struct Case {
    std::uint32_t lifetime;
    std::uint64_t age;
    float opacity;
  } cases[] = {
      {5000, 0, 1},    {5000, 4300, 1},    {5000, 4650, 0.5f}, {5000, 4965, 0.05f},
      {5000, 5000, 0}, {5000, 90000, 0},   {0, 1u << 30, 1},    {300, 0, 300.0f / 700},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(DrawingOpacity(c.lifetime, c.age), c.opacity, 1e-6) << c.lifetime << " ms at " << c.age;
  }
  EXPECT_EQ(ScaleAlpha(0xFF123456u, 0.5f), 0x80123456u);
  EXPECT_EQ(ScaleAlpha(0x80123456u, 2.0f), 0x80123456u);
  EXPECT_EQ(ScaleAlpha(0xFF123456u, -1.0f), 0x00123456u);
}

TEST(AnnotationLayout, NoteOpensAboveItsAnchorAndStaysInside) {
  const float f = NoteFontSize(3, 1080);  // 19.8
  ASSERT_FLOAT_EQ(f, 19.8f);
  const float tail = 0.9f * f;
  const Size text{200, 30};
  const float bw = text.width + 2 * 0.55f * f;
  const float bh = text.height + 2 * 0.55f * f;

  // Room everywhere: above the anchor, shifted right by 0.6 tail, tail on the bottom edge.
  NoteLayout n = LayoutNote({500, 500}, text, f, 3, k1080);
  EXPECT_FLOAT_EQ(n.box.left, 500 + 0.6f * tail);
  EXPECT_FLOAT_EQ(n.box.bottom, 500 - tail);
  EXPECT_FLOAT_EQ(n.tail[0].y, n.box.bottom);
  EXPECT_FLOAT_EQ(n.tail[2].x, 500);
  EXPECT_FLOAT_EQ(n.box.Width(), bw);

  // Near the top: below the anchor, tail on the top edge.
  n = LayoutNote({500, 10}, text, f, 3, k1080);
  EXPECT_FLOAT_EQ(n.box.top, 10 + tail);
  EXPECT_FLOAT_EQ(n.tail[0].y, n.box.top);
  EXPECT_FLOAT_EQ(n.tail[1].y, n.box.top);

  // Near the right edge: shifted left to end 4 px inside; the tail's base then sits by the anchor.
  n = LayoutNote({1910, 500}, text, f, 3, k1080);
  EXPECT_FLOAT_EQ(n.box.right, 1916);
  EXPECT_FLOAT_EQ((n.tail[0].x + n.tail[1].x) / 2, std::min(n.box.right - n.radius, 1910 + n.radius));

  // Near the bottom-left corner of a small picture: at least 4 px from the left and the top.
  n = LayoutNote({0, 50}, {400, 300}, f, 3, {300, 200});
  EXPECT_FLOAT_EQ(n.box.left, 4);
  EXPECT_FLOAT_EQ(n.box.top, 4);
  EXPECT_FLOAT_EQ(n.box.Height(), 300 + bh - text.height);
}

TEST(AnnotationLayout, PingRingsStartApartAndEndBy750Ms) {
  const float R = 0.028f * 1080;  // 30.24
  struct Case {
    std::uint64_t age;
    bool ring0, ring1;
  } cases[] = {{0, false, false}, {1, true, false}, {165, true, false}, {166, true, true},
               {749, true, true}, {750, false, false}, {5000, false, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(PingRingAt(c.age, 0, 1080).visible, c.ring0) << c.age;
    EXPECT_EQ(PingRingAt(c.age, 1, 1080).visible, c.ring1) << c.age;
  }
  const PingRingShape half = PingRingAt(375, 0, 1080);
  EXPECT_FLOAT_EQ(half.radius, (0.35f + 1.35f * 0.5f) * R);
  EXPECT_FLOAT_EQ(half.lineWidth, 0.75f * 3);
  EXPECT_FLOAT_EQ(half.alpha, 0.45f);
  EXPECT_FLOAT_EQ(PingRingAt(375, 0, 2160).lineWidth, 0.75f * 6);
  EXPECT_FLOAT_EQ(PingRingAt(375, 0, 500).radius, (0.35f + 1.35f * 0.5f) * 28);  // least radius 28
}

TEST(AnnotationLayout, PointerLabelSitsBelowRightOfTheTip) {
  const PointerLabelLayout label = LayoutPointerLabel({100, 200}, {50, 17.5f}, 1080);
  EXPECT_FLOAT_EQ(label.box.left, 116.2f);
  EXPECT_FLOAT_EQ(label.box.top, 221.6f);
  EXPECT_FLOAT_EQ(label.box.Width(), 50 + 14 * 1.35f);
  EXPECT_FLOAT_EQ(label.radius, label.box.Height() / 2);
  EXPECT_FLOAT_EQ(PointerLabelFontSize(1080), 14);
  EXPECT_FLOAT_EQ(PointerLabelFontSize(2160), 28);
}

TEST(AnnotationLayout, DirtyBoundsOfEachKind) {
  const auto bounds = [](auto add) {
    DirtyBounds b(k1080);
    add(b);
    return b.Result();
  };
  // A line of width 3: every point ± (5 × 3 + 8).
  EXPECT_EQ(bounds([](DirtyBounds& b) {
              b.AddDrawing(MakeDrawing(DrawingShape::kArrow, {{0.25f, 0.5f}, {0.5f, 0.75f}}), kOverlayMinStroke);
            }),
            (PixelBounds{480 - 23, 540 - 23, 960 + 23, 810 + 23}));
  // A note: its anchor ± (wrap width + 24) and ± (14 f + 24); cut at the window's edges.
  Drawing note = MakeDrawing(DrawingShape::kNote, {{0.5f, 0.5f}});
  note.text = L"hi";
  const float dx = NoteMaxWidth(k1080) + 24;  // 560 + 24
  const float dy = 14 * 19.8f + 24;
  EXPECT_EQ(bounds([&](DirtyBounds& b) { b.AddDrawing(note, kOverlayMinStroke); }),
            (PixelBounds{static_cast<int>(std::floor(960 - dx)), static_cast<int>(std::floor(540 - dy)),
                         static_cast<int>(std::ceil(960 + dx)), static_cast<int>(std::ceil(540 + dy))}));
  // A ping: ± (3 + 1.75 R + 4) = ± 59.92.
  EXPECT_EQ(bounds([](DirtyBounds& b) { b.AddPing({0.5f, 0.5f, kRed, 0, 0}); }),
            (PixelBounds{960 - 60, 540 - 60, 960 + 60, 540 + 60}));
  // A pointer: -6 s .. +420 s across, -6 s .. +60 s down, s = 1.35; clipped at the right edge.
  RemotePointer pointer;
  pointer.x = 1.0f;
  pointer.y = 0.0f;
  pointer.visible = true;
  EXPECT_EQ(bounds([&](DirtyBounds& b) { b.AddPointer(pointer); }), (PixelBounds{1911, 0, 1920, 81}));
  pointer.visible = false;
  EXPECT_TRUE(bounds([&](DirtyBounds& b) { b.AddPointer(pointer); }).Empty());
  EXPECT_TRUE(bounds([](DirtyBounds&) {}).Empty());

  // The union with what was painted before.
  const PixelBounds a{10, 20, 30, 40};
  EXPECT_EQ(a.Union({100, 5, 120, 25}), (PixelBounds{10, 5, 120, 40}));
  EXPECT_EQ(a.Union({}), a);
  EXPECT_EQ(PixelBounds{}.Union(a), a);
}

// --- Painting ---------------------------------------------------------------------------------

TEST(AnnotationPainter, ArrowPaintsHaloThenLineThenItsHead) {
  for (const Size picture : {k1080, k2160}) {
    const float k = picture.height / 1080;
    RecordingCanvas canvas;
    AnnotationPainter(kOverlayMinStroke)
        .PaintDrawing(canvas, MakeDrawing(DrawingShape::kArrow, {{0.1f, 0.5f}, {0.2f, 0.5f}}), 1, picture);
    const auto lines = canvas.Find(DrawOp::Kind::Line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FLOAT_EQ(lines[0]->width, 5.1f * k);
    EXPECT_EQ(lines[0]->colour, 0x73000000u);  // black at 0.45
    EXPECT_FLOAT_EQ(lines[1]->width, 3 * k);
    EXPECT_EQ(lines[1]->colour, kRed);
    EXPECT_EQ(lines[1]->stroke, StrokeStyle::Rounded());
    // The shaft stops 0.75 of the head short of the tip.
    EXPECT_NEAR(lines[1]->to.x, 0.2f * picture.width - 0.75f * 12.6f * k, 1e-3);
    const auto heads = canvas.Find(DrawOp::Kind::FillPath);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0]->path, Figures().arrowHead);
    EXPECT_NEAR(heads[0]->transform.m11, (5.1f / 2 + 12.6f) * k, 1e-4);
    EXPECT_NEAR(heads[1]->transform.m11, 12.6f * k, 1e-4);
    EXPECT_NEAR(heads[1]->transform.dx, 0.2f * picture.width, 1e-3);
    EXPECT_TRUE(canvas.GetTransform().IsIdentity());
  }
}

TEST(AnnotationPainter, ArrowHeadStylesAndTheirTransforms) {
  const Drawing base = MakeDrawing(DrawingShape::kArrow, {{0.5f, 0.5f}, {0.5f, 0.75f}});  // pointing down
  const Point tip{960, 810};
  struct Case {
    std::uint8_t style;
    const Path* figure;
    Point bodyEnd;  // where the figure's far end lands at the coloured scale
  } cases[] = {
      {kStyleRound, &Figures().arrowHead, {tip.x, tip.y - 12.6f}},  // (-1, 0) turned to point down
      {kStyleStar, &Figures().star, {tip.x, tip.y - 12.6f}},        // upright: (0, -1) above the tip
      {kStyleHeart, &Figures().heart, {tip.x, tip.y - 12.6f * 1.35f}},  // its top (0, -0.35) is 1.35 away
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.style));
    Drawing d = base;
    d.style = c.style;
    RecordingCanvas canvas;
    AnnotationPainter(kOverlayMinStroke).PaintDrawing(canvas, d, 1, k1080);
    const auto heads = canvas.Find(DrawOp::Kind::FillPath);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[1]->path, *c.figure);
    const Point far = heads[1]->transform.Apply(c.style == kStyleRound ? Point{-1, 0}
                                                : c.style == kStyleStar ? Point{0, -1}
                                                                        : Point{0, -0.35f});
    EXPECT_NEAR(far.x, c.bodyEnd.x, 1e-3);
    EXPECT_NEAR(far.y, c.bodyEnd.y, 1e-3);
    // The heart's and the arrow head's point is at the tip.
    const Point point = heads[1]->transform.Apply(c.style == kStyleHeart ? Point{0, 1} : Point{0, 0});
    if (c.style != kStyleStar) {
      EXPECT_NEAR(point.x, tip.x, 1e-3);
      EXPECT_NEAR(point.y, tip.y, 1e-3);
    }
  }
}

TEST(AnnotationPainter, TooSmallShapesPaintNothing) {
  const float px = 1.0f / 1920, py = 1.0f / 1080;
  struct Case {
    DrawingShape kind;
    float dx, dy;  // pixels between the first and last points
    bool paints;
  } cases[] = {
      {DrawingShape::kCircle, 1, 40, false}, {DrawingShape::kCircle, 2, 2, true},
      {DrawingShape::kHeart, 3, 40, false},  {DrawingShape::kHeart, 40, 3.9f, false},
      {DrawingShape::kHeart, 4, 4, true},    {DrawingShape::kArrow, 0.3f, 0.3f, false},
      {DrawingShape::kLine, 0.5f, 0, true},  {DrawingShape::kPoint, 100, 100, false},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    AnnotationPainter(kOverlayMinStroke)
        .PaintDrawing(canvas, MakeDrawing(c.kind, {{0.5f, 0.5f}, {0.5f + c.dx * px, 0.5f + c.dy * py}}), 1, k1080);
    EXPECT_EQ(!canvas.ops().empty(), c.paints) << static_cast<int>(c.kind) << " " << c.dx << "x" << c.dy;
  }
}

TEST(AnnotationPainter, HeartIsFlattenedAndStrokedInItsBox) {
  for (const ui::Path::Segment& s : Figures().heart.segments()) EXPECT_NE(s.verb, Path::Verb::Cubic);
  RecordingCanvas canvas;
  AnnotationPainter(kOverlayMinStroke)
      .PaintDrawing(canvas, MakeDrawing(DrawingShape::kHeart, {{0.25f, 0.25f}, {0.5f, 0.75f}}), 1, k1080);
  const auto strokes = canvas.Find(DrawOp::Kind::StrokePath);
  ASSERT_EQ(strokes.size(), 2u);
  // Half-extents 240 × 270 around (720, 540); widths divided by the larger one.
  EXPECT_FLOAT_EQ(strokes[1]->transform.m11, 240);
  EXPECT_FLOAT_EQ(strokes[1]->transform.m22, 270);
  EXPECT_FLOAT_EQ(strokes[1]->transform.dx, 720);
  EXPECT_FLOAT_EQ(strokes[1]->transform.dy, 540);
  EXPECT_FLOAT_EQ(strokes[0]->width, 5.1f / 270);
  EXPECT_FLOAT_EQ(strokes[1]->width, 3.0f / 270);
  // The flattened outline keeps the curve's extent: its point, its lobes' tops and sides.
  Path exact;
  exact.MoveTo({0, 1}).CubicTo({-1.35f, 0.05f}, {-1.05f, -0.95f}, {0, -0.35f});
  const Rect lobe = exact.Flattened(1e-5f).Bounds();  // as near the curve as flattening goes
  const Rect bounds = Figures().heart.Bounds();
  EXPECT_FLOAT_EQ(bounds.bottom, 1);
  EXPECT_NEAR(bounds.top, lobe.top, 0.002);
  EXPECT_NEAR(bounds.left, lobe.left, 0.002);
  EXPECT_NEAR(bounds.right, -lobe.left, 0.002);
}

TEST(AnnotationPainter, PenPaintsEveryHaloBeforeAnyLine) {
  RecordingCanvas canvas;
  AnnotationPainter painter(kOverlayMinStroke);
  painter.PaintDrawing(canvas, MakeDrawing(DrawingShape::kPen, {{0.1f, 0.1f}, {0.2f, 0.1f}, {0.2f, 0.2f}}), 1, k1080);
  ASSERT_EQ(canvas.ops().size(), 4u);
  EXPECT_EQ(canvas.ops()[0].colour, 0x73000000u);
  EXPECT_EQ(canvas.ops()[1].colour, 0x73000000u);
  EXPECT_EQ(canvas.ops()[2].colour, kRed);
  EXPECT_EQ(canvas.ops()[3].colour, kRed);
  canvas.ClearOps();
  painter.PaintDrawing(canvas, MakeDrawing(DrawingShape::kPen, {{0.1f, 0.1f}}, 8), 1, k1080);
  ASSERT_EQ(canvas.ops().size(), 1u);
  EXPECT_EQ(canvas.ops()[0].kind, DrawOp::Kind::FillEllipse);
  EXPECT_FLOAT_EQ(canvas.ops()[0].radius_x, 4);
}

TEST(AnnotationPainter, OpacityScalesEveryColour) {
  RecordingCanvas canvas;
  AnnotationPainter(kOverlayMinStroke)
      .PaintDrawing(canvas, MakeDrawing(DrawingShape::kBox, {{0.1f, 0.1f}, {0.2f, 0.2f}}), 0.5f, k1080);
  const auto outlines = canvas.Find(DrawOp::Kind::StrokeRoundedRect);
  ASSERT_EQ(outlines.size(), 2u);
  EXPECT_EQ(outlines[0]->colour, 0x39000000u);  // 0.45 × 0.5
  EXPECT_EQ(outlines[1]->colour, 0x80FF0000u);
  EXPECT_FLOAT_EQ(outlines[1]->radius_x, 1.2f * 3);
}

TEST(AnnotationPainter, NotePaintsShadowTailBoxOutlineAndText) {
  Drawing note = MakeDrawing(DrawingShape::kNote, {{0.5f, 0.5f}});
  note.text = L"Look here";
  RecordingCanvas canvas;
  const float f = 19.8f;
  const Size text = canvas.MeasureTextLayout(note.text, {kAnnotationFontFamily, 600, f, true}, 560, 4000);
  AnnotationPainter(kOverlayMinStroke).PaintDrawing(canvas, note, 1, k1080);
  ASSERT_EQ(canvas.ops().size(), 5u);
  const NoteLayout layout = LayoutNote({960, 540}, text, f, 3, k1080);
  EXPECT_EQ(canvas.ops()[0].kind, DrawOp::Kind::FillRoundedRect);  // shadow
  EXPECT_EQ(canvas.ops()[0].rect, layout.box.Offset(layout.border, 1.6f * layout.border));
  EXPECT_EQ(canvas.ops()[0].colour, 0x61000000u);
  EXPECT_EQ(canvas.ops()[1].kind, DrawOp::Kind::FillPath);  // tail
  EXPECT_EQ(canvas.ops()[1].colour, kRed);
  EXPECT_EQ(canvas.ops()[2].rect, layout.box);
  EXPECT_EQ(canvas.ops()[2].colour, 0xF00B0E12u);
  EXPECT_EQ(canvas.ops()[3].kind, DrawOp::Kind::StrokeRoundedRect);
  EXPECT_FLOAT_EQ(canvas.ops()[3].width, 1.5f);
  const DrawOp& drawn = canvas.ops()[4];
  EXPECT_EQ(drawn.text, L"Look here");
  EXPECT_FLOAT_EQ(drawn.format.size, f);
  EXPECT_TRUE(drawn.format.wrap);
  EXPECT_FLOAT_EQ(drawn.rect.left, layout.box.left + layout.pad);
  EXPECT_FLOAT_EQ(drawn.rect.Width(), text.width + 1);
  EXPECT_EQ(drawn.colour, 0xF7FFFFFFu);
  // Long text wraps at the note's widest.
  note.text.assign(300, L'w');
  canvas.ClearOps();
  AnnotationPainter(kOverlayMinStroke).PaintDrawing(canvas, note, 1, k1080);
  EXPECT_GT(canvas.ops()[4].rect.Width(), 540 + 1);
  EXPECT_LE(canvas.ops()[4].rect.Width(), 560 + 1);
  EXPECT_GT(canvas.ops()[4].rect.Height(), 5 * 1.25f * f);
}

TEST(AnnotationPainter, PointerCursorAndLabel) {
  RemotePointer pointer;
  pointer.x = 0.5f;
  pointer.y = 0.5f;
  pointer.visible = true;
  pointer.colour = 0xFF00FF00u;
  pointer.name = L"Ann";
  RecordingCanvas canvas;
  AnnotationPainter(kOverlayMinStroke).PaintPointer(canvas, pointer, k1080);
  ASSERT_EQ(canvas.ops().size(), 5u);
  EXPECT_EQ(canvas.ops()[0].kind, DrawOp::Kind::StrokePath);
  EXPECT_EQ(canvas.ops()[0].colour, 0xBF000000u);
  EXPECT_FLOAT_EQ(canvas.ops()[0].width, 2.2f);
  EXPECT_FLOAT_EQ(canvas.ops()[0].transform.m11, 1.35f);
  EXPECT_EQ(canvas.ops()[1].colour, 0xFF00FF00u);
  EXPECT_FLOAT_EQ(canvas.ops()[2].rect.left, 960 + 16.2f);
  EXPECT_FLOAT_EQ(canvas.ops()[2].rect.top, 540 + 21.6f);
  EXPECT_EQ(canvas.ops()[2].colour, 0x9E000000u);
  EXPECT_EQ(canvas.ops()[3].colour, 0xE600FF00u);
  EXPECT_EQ(canvas.ops()[4].format.align, TextAlign::Centre);
  EXPECT_EQ(canvas.ops()[4].format.paragraph, ParagraphAlign::Centre);
  EXPECT_EQ(canvas.ops()[4].rect, canvas.ops()[2].rect);

  pointer.visible = false;
  canvas.ClearOps();
  AnnotationPainter(kOverlayMinStroke).PaintPointer(canvas, pointer, k1080);
  EXPECT_TRUE(canvas.ops().empty());
}

TEST(AnnotationPainter, PingShapesAndOffsetPicture) {
  RecordingCanvas canvas;
  // The remote window paints on a picture placed at (100, 50).
  canvas.SetTransform(Transform::Translation(100, 50));
  AnnotationPainter painter(kRemoteMinStroke);
  painter.PaintPing(canvas, {0.5f, 0.5f, kRed, 1000, kStyleRound}, 1200, k1080);
  ASSERT_EQ(canvas.ops().size(), 2u);  // both rings at 200 ms
  EXPECT_EQ(canvas.ops()[0].kind, DrawOp::Kind::StrokeEllipse);
  EXPECT_EQ(canvas.ops()[0].transform, Transform::Translation(100, 50));
  canvas.ClearOps();
  painter.PaintPing(canvas, {0.5f, 0.5f, kRed, 1000, kStyleStar}, 1100, k1080);
  ASSERT_EQ(canvas.ops().size(), 1u);
  EXPECT_EQ(canvas.ops()[0].path, Figures().star);
  const PingRingShape ring = PingRingAt(100, 0, 1080);
  EXPECT_FLOAT_EQ(canvas.ops()[0].transform.m11, ring.radius);
  EXPECT_FLOAT_EQ(canvas.ops()[0].transform.dx, 960 + 100);
  EXPECT_FLOAT_EQ(canvas.ops()[0].width, ring.lineWidth / ring.radius);
  EXPECT_EQ(canvas.GetTransform(), Transform::Translation(100, 50));
  // The remote window's thinner lower bound only changes the thinnest strokes.
  canvas.ClearOps();
  painter.PaintDrawing(canvas, MakeDrawing(DrawingShape::kLine, {{0.1f, 0.1f}, {0.2f, 0.1f}}, 1), 1, {640, 360});
  EXPECT_FLOAT_EQ(canvas.ops()[1].width, 1.5f);
  EXPECT_FLOAT_EQ(canvas.ops()[1].from.x, 64);
}

TEST(AnnotationPainter, SnapshotOrderFadingAndPreviews) {
  AnnotationSnapshot snapshot;
  Drawing fading = MakeDrawing(DrawingShape::kLine, {{0.1f, 0.1f}, {0.2f, 0.1f}});
  fading.lifetime = 5000;
  fading.created = 10000;
  Drawing gone = fading;
  gone.created = 0;
  snapshot.drawings = {gone, fading};
  snapshot.previews = {MakeDrawing(DrawingShape::kLine, {{0.3f, 0.3f}, {0.4f, 0.3f}})};
  snapshot.pings = {{0.5f, 0.5f, kRed, 14500, 0}};
  RecordingCanvas canvas;
  AnnotationPainter(kOverlayMinStroke).PaintSnapshot(canvas, snapshot, 14650, k1080);
  ASSERT_EQ(canvas.ops().size(), 5u);
  EXPECT_EQ(canvas.ops()[1].colour, 0x80FF0000u);  // half way through its fade
  EXPECT_EQ(canvas.ops()[3].colour, 0xD9FF0000u);  // the preview at 0.85
  EXPECT_EQ(canvas.ops()[4].kind, DrawOp::Kind::StrokeEllipse);
  EXPECT_FALSE(SnapshotEmpty(snapshot));
  AnnotationSnapshot pointersOnly;
  pointersOnly.pointers.resize(1);
  EXPECT_TRUE(SnapshotEmpty(pointersOnly));
}

}  // namespace
}  // namespace tvx::ui

#include "ui/annotation_painter.h"

#include <algorithm>
#include <cmath>

namespace tvx::ui {
namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kNoteFill = 0xFF0B0E12u;  // (0.043, 0.055, 0.071)
constexpr float kHaloAlpha = 0.45f;

Path Polygon(std::initializer_list<Point> points) {
  Path path;
  bool first = true;
  for (Point p : points) {
    if (first) {
      path.MoveTo(p);
      first = false;
    } else {
      path.LineTo(p);
    }
  }
  path.Close();
  return path;
}

AnnotationFigures MakeFigures() {
  AnnotationFigures f;
  f.arrowHead = Polygon({{0, 0}, {-1, -0.52f}, {-0.72f, 0}, {-1, 0.52f}});
  f.star.MoveTo({0, -1});
  for (int i = 1; i < 10; ++i) {
    const float angle = static_cast<float>(i) * kPi / 5 - kPi / 2;
    const float radius = i % 2 == 0 ? 1.0f : 0.42f;
    f.star.LineTo({radius * std::cos(angle), radius * std::sin(angle)});
  }
  f.star.Close();
  Path heart;
  heart.MoveTo({0, 1})
      .CubicTo({-1.35f, 0.05f}, {-1.05f, -0.95f}, {0, -0.35f})
      .CubicTo({1.05f, -0.95f}, {1.35f, 0.05f}, {0, 1})
      .Close();
  // Fine enough for a heart a screen high.
  f.heart = heart.Flattened(0.001f);
  f.cursor = Polygon({{0, 0}, {0, 17}, {4.2f, 13.1f}, {7.0f, 19.6f}, {10.2f, 18.2f}, {7.4f, 11.9f}, {12.4f, 11.6f}});
  return f;
}

Point Scaled(const DrawingPoint& p, Size picture) { return {p.x * picture.width, p.y * picture.height}; }

// Restores the canvas's transform when a paint ends.
class TransformScope {
 public:
  explicit TransformScope(Canvas& canvas) : canvas_(canvas), base_(canvas.GetTransform()) {}
  ~TransformScope() { canvas_.SetTransform(base_); }
  TransformScope(const TransformScope&) = delete;
  TransformScope& operator=(const TransformScope&) = delete;
  const Transform& base() const { return base_; }
  // `local` placed on the picture.
  void Set(const Transform& local) { canvas_.SetTransform(local.Then(base_)); }

 private:
  Canvas& canvas_;
  Transform base_;
};

}  // namespace

const AnnotationFigures& Figures() {
  static const AnnotationFigures figures = MakeFigures();
  return figures;
}

bool SnapshotEmpty(const AnnotationSnapshot& snapshot) {
  if (!snapshot.drawings.empty() || !snapshot.previews.empty() || !snapshot.pings.empty()) return false;
  return std::none_of(snapshot.pointers.begin(), snapshot.pointers.end(),
                      [](const RemotePointer& p) { return p.visible; });
}

void AnnotationPainter::PaintDrawing(Canvas& canvas, const Drawing& drawing, float opacity, Size picture) const {
  if (drawing.points.empty() || !(opacity > 0)) return;
  TransformScope scope(canvas);
  const float stroke = StrokeWidth(picture.height, drawing.width, minStroke_);
  const float halo = HaloWidth(stroke);
  const std::uint32_t colour = ScaleAlpha(drawing.colour, opacity);
  const std::uint32_t haloColour = ScaleAlpha(kBlack, kHaloAlpha * opacity);
  const StrokeStyle rounded = StrokeStyle::Rounded();
  const Point first = Scaled(drawing.points.front(), picture);
  const Point last = Scaled(drawing.points.back(), picture);
  const Rect spanned{std::min(first.x, last.x), std::min(first.y, last.y), std::max(first.x, last.x),
                     std::max(first.y, last.y)};

  switch (drawing.kind) {
    case DrawingShape::kPen: {
      if (drawing.points.size() == 1) {
        canvas.FillEllipse(first, stroke / 2, stroke / 2, colour);
        return;
      }
      // Every halo first, so no segment's halo darkens a neighbour's line.
      for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 1; i < drawing.points.size(); ++i) {
          const Point a = Scaled(drawing.points[i - 1], picture);
          const Point b = Scaled(drawing.points[i], picture);
          if (pass == 0) {
            canvas.DrawLine(a, b, haloColour, halo, rounded);
          } else {
            canvas.DrawLine(a, b, colour, stroke, rounded);
          }
        }
      }
      return;
    }
    case DrawingShape::kArrow:
    case DrawingShape::kLine:
      PaintLine(canvas, drawing, opacity, picture, scope.base());
      return;
    case DrawingShape::kBox: {
      const float radius = std::min({1.2f * stroke, spanned.Width() / 2, spanned.Height() / 2});
      canvas.StrokeRoundedRect(spanned, radius, haloColour, halo);
      canvas.StrokeRoundedRect(spanned, radius, colour, stroke);
      return;
    }
    case DrawingShape::kCircle: {
      const float rx = spanned.Width() / 2;
      const float ry = spanned.Height() / 2;
      if (rx < 1 || ry < 1) return;
      canvas.StrokeEllipse(spanned.Centre(), rx, ry, haloColour, halo);
      canvas.StrokeEllipse(spanned.Centre(), rx, ry, colour, stroke);
      return;
    }
    case DrawingShape::kHeart: {
      const float hx = spanned.Width() / 2;
      const float hy = spanned.Height() / 2;
      if (hx < 2 || hy < 2) return;
      const Point centre = spanned.Centre();
      scope.Set(Transform::Scale(hx, hy).Then(Transform::Translation(centre.x, centre.y)));
      // The transform scales the line too; dividing keeps its width near the intended pixels.
      const float unit = std::max(hx, hy);
      canvas.StrokePath(Figures().heart, haloColour, halo / unit, rounded);
      canvas.StrokePath(Figures().heart, colour, stroke / unit, rounded);
      return;
    }
    case DrawingShape::kNote:
      PaintNote(canvas, drawing, opacity, picture);
      return;
    case DrawingShape::kPoint:
      return;
  }
}

void AnnotationPainter::PaintLine(Canvas& canvas, const Drawing& drawing, float opacity, Size picture,
                                  const Transform& base) const {
  if (drawing.points.size() < 2) return;
  const Point p0 = Scaled(drawing.points.front(), picture);
  const Point p1 = Scaled(drawing.points.back(), picture);
  const float dx = p1.x - p0.x;
  const float dy = p1.y - p0.y;
  const float length = std::hypot(dx, dy);
  if (!(length >= 0.5f)) return;
  const float stroke = StrokeWidth(picture.height, drawing.width, minStroke_);
  const float halo = HaloWidth(stroke);
  const std::uint32_t colour = ScaleAlpha(drawing.colour, opacity);
  const std::uint32_t haloColour = ScaleAlpha(kBlack, kHaloAlpha * opacity);
  const bool arrow = drawing.kind == DrawingShape::kArrow;
  const bool star = arrow && drawing.style == kStyleStar;
  const bool heart = arrow && drawing.style == kStyleHeart;
  const float head = arrow ? ArrowHeadSize(stroke) : 0;
  // The shaft stops inside the head so its round cap does not poke out of the tip.
  const float shaft = std::max(length - (star ? 0.55f : 0.75f) * head, 0.0f) / length;
  const Point end{p0.x + dx * shaft, p0.y + dy * shaft};
  canvas.DrawLine(p0, end, haloColour, halo, StrokeStyle::Rounded());
  canvas.DrawLine(p0, end, colour, stroke, StrokeStyle::Rounded());
  if (!arrow) return;

  const AnnotationFigures& figures = Figures();
  const Path& figure = star ? figures.star : heart ? figures.heart : figures.arrowHead;
  // The heart's point is at (0, 1) with its body above: move the point to the origin and turn the
  // body towards -x like the arrow head's. The star stays upright.
  const Transform shape =
      heart ? Transform::Translation(0, -1).Then(Transform::Rotation(-90)) : Transform::Identity();
  const Transform turn = star ? Transform::Identity() : Transform::Rotation(std::atan2(dy, dx) * 180 / kPi);
  const auto place = [&](float scale) {
    canvas.SetTransform(shape.Then(Transform::Scale(scale, scale)).Then(turn).Then(Transform::Translation(p1.x, p1.y)).Then(base));
  };
  place(halo / 2 + head);
  canvas.FillPath(figure, haloColour);
  place(head);
  canvas.FillPath(figure, colour);
  canvas.SetTransform(base);
}

void AnnotationPainter::PaintNote(Canvas& canvas, const Drawing& drawing, float opacity, Size picture) const {
  if (drawing.text.empty()) return;
  const Point anchor = Scaled(drawing.points.front(), picture);
  const float fontSize = NoteFontSize(drawing.width, picture.height);
  TextFormat format;
  format.family = kAnnotationFontFamily;
  format.weight = kAnnotationFontWeight;
  format.size = fontSize;
  format.wrap = true;
  format.align = TextAlign::Left;
  format.paragraph = ParagraphAlign::Near;
  const Size text = canvas.MeasureTextLayout(drawing.text, format, NoteMaxWidth(picture), kNoteMaxHeight);
  const NoteLayout note = LayoutNote(anchor, text, fontSize, drawing.width, picture);
  const std::uint32_t colour = ScaleAlpha(drawing.colour, opacity);

  canvas.FillRoundedRect(note.box.Offset(note.border, 1.6f * note.border), note.radius,
                         ScaleAlpha(kBlack, 0.38f * opacity));
  Path tail;
  tail.MoveTo(note.tail[0]).LineTo(note.tail[1]).LineTo(note.tail[2]).Close();
  canvas.FillPath(tail, colour);
  canvas.FillRoundedRect(note.box, note.radius, ScaleAlpha(kNoteFill, 0.94f * opacity));
  canvas.StrokeRoundedRect(note.box, note.radius, colour, note.border);
  canvas.DrawTextLayout(drawing.text, format, {note.box.left + note.pad, note.box.top + note.pad}, text.width + 1,
                        text.height + 1, ScaleAlpha(kWhite, 0.97f * opacity));
}

void AnnotationPainter::PaintPing(Canvas& canvas, const PingRing& ping, std::uint64_t nowMs, Size picture) const {
  const std::uint64_t age = nowMs > ping.created ? nowMs - ping.created : 0;
  const Point centre{ping.x * picture.width, ping.y * picture.height};
  TransformScope scope(canvas);
  for (int ring = 0; ring < kPingRings; ++ring) {
    const PingRingShape shape = PingRingAt(age, ring, picture.height);
    if (!shape.visible) continue;
    const std::uint32_t colour = ScaleAlpha(ping.colour, shape.alpha);
    if (ping.style == kStyleStar || ping.style == kStyleHeart) {
      scope.Set(Transform::Scale(shape.radius, shape.radius).Then(Transform::Translation(centre.x, centre.y)));
      canvas.StrokePath(ping.style == kStyleStar ? Figures().star : Figures().heart, colour,
                        shape.lineWidth / shape.radius, StrokeStyle::Rounded());
      canvas.SetTransform(scope.base());
    } else {
      canvas.StrokeEllipse(centre, shape.radius, shape.radius, colour, shape.lineWidth);
    }
  }
}

void AnnotationPainter::PaintPointer(Canvas& canvas, const RemotePointer& pointer, Size picture) const {
  if (!pointer.visible) return;
  const Point tip{pointer.x * picture.width, pointer.y * picture.height};
  const float s = PointerScale(picture.height);
  {
    TransformScope scope(canvas);
    scope.Set(Transform::Scale(s, s).Then(Transform::Translation(tip.x, tip.y)));
    canvas.StrokePath(Figures().cursor, ScaleAlpha(kBlack, 0.75f), 2.2f, StrokeStyle::Rounded());
    canvas.FillPath(Figures().cursor, pointer.colour);
  }
  if (pointer.name.empty()) return;
  TextFormat format;
  format.family = kAnnotationFontFamily;
  format.weight = kAnnotationFontWeight;
  format.size = PointerLabelFontSize(picture.height);
  format.paragraph = ParagraphAlign::Centre;
  const Size text = canvas.MeasureTextLayout(pointer.name, format, kPointerLabelMaxWidth, kPointerLabelMaxHeight);
  const PointerLabelLayout label = LayoutPointerLabel(tip, text, picture.height);
  canvas.FillRoundedRect(label.box, label.radius, ScaleAlpha(kBlack, 0.62f));
  canvas.StrokeRoundedRect(label.box, label.radius, ScaleAlpha(pointer.colour, 0.9f), label.border);
  format.align = TextAlign::Centre;
  canvas.DrawTextLayout(pointer.name, format, {label.box.left, label.box.top}, label.box.Width(),
                        label.box.Height(), ScaleAlpha(kWhite, 0.96f));
}

void AnnotationPainter::PaintSnapshot(Canvas& canvas, const AnnotationSnapshot& snapshot, std::uint64_t nowMs,
                                      Size picture) const {
  for (const Drawing& drawing : snapshot.drawings) {
    const std::uint64_t age = nowMs > drawing.created ? nowMs - drawing.created : 0;
    const float opacity = DrawingOpacity(drawing.lifetime, age);
    if (opacity > 0) PaintDrawing(canvas, drawing, opacity, picture);
  }
  for (const Drawing& preview : snapshot.previews) PaintDrawing(canvas, preview, kPreviewOpacity, picture);
  for (const PingRing& ping : snapshot.pings) PaintPing(canvas, ping, nowMs, picture);
  for (const RemotePointer& pointer : snapshot.pointers) PaintPointer(canvas, pointer, picture);
}

PixelBounds AnnotationPainter::SnapshotBounds(const AnnotationSnapshot& snapshot, Size picture) const {
  DirtyBounds bounds(picture);
  for (const Drawing& drawing : snapshot.drawings) bounds.AddDrawing(drawing, minStroke_);
  for (const Drawing& preview : snapshot.previews) bounds.AddDrawing(preview, minStroke_);
  for (const PingRing& ping : snapshot.pings) bounds.AddPing(ping);
  for (const RemotePointer& pointer : snapshot.pointers) bounds.AddPointer(pointer);
  return bounds.Result();
}

}  // namespace tvx::ui

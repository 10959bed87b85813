#include "ui/annotation_layout.h"

#include <algorithm>
#include <cmath>

namespace tvx::ui {

float StrokeWidth(float height, float width, float minStroke) {
  return std::max(height * width / kAnnotationReferenceHeight, minStroke);
}

float HaloWidth(float stroke) { return stroke + std::max(0.7f * stroke, 2.0f); }

float ArrowHeadSize(float stroke) { return std::max(4.2f * stroke, 12.0f); }

float DrawingOpacity(std::uint32_t lifetime, std::uint64_t age) {
  if (lifetime == 0) return 1;
  if (age >= lifetime) return 0;
  const std::uint64_t remaining = lifetime - age;
  if (remaining < kAnnotationFadeMs) return static_cast<float>(remaining) / kAnnotationFadeMs;
  return 1;
}

std::uint32_t ScaleAlpha(std::uint32_t colour, float factor) {
  // NaN falls to 0 as well.
  const float f = factor > 0 ? std::min(factor, 1.0f) : 0.0f;
  const auto alpha = static_cast<std::uint32_t>(std::lround(static_cast<float>(colour >> 24) * f));
  return (std::min(alpha, 255u) << 24) | (colour & 0x00FFFFFFu);
}

namespace {

float NoteScale(float height) { return height > 1 ? height / kAnnotationReferenceHeight : 1.0f; }

}  // namespace

float NoteFontSize(float width, float height) { return std::max(6.6f * width * NoteScale(height), 11.0f); }

float NoteMaxWidth(Size picture) {
  return std::max(std::min(560 * NoteScale(picture.height), 0.42f * picture.width), 120.0f);
}

NoteLayout LayoutNote(Point anchor, Size text, float fontSize, float width, Size picture) {
  const float f = fontSize;
  NoteLayout note;
  note.pad = std::max(0.55f * f, 7.0f);
  note.radius = std::max(0.5f * f, 6.0f);
  const float tail = std::max(0.9f * f, 10.0f);
  const float bw = text.width + 2 * note.pad;
  const float bh = text.height + 2 * note.pad;
  const float W = picture.width;
  const float H = picture.height;

  float x = anchor.x + 0.6f * tail;
  if (x + bw > W - 4) x = W - 4 - bw;
  x = std::max(x, 4.0f);
  float y = anchor.y - bh - tail;  // above the anchor where there is room
  if (y < 4) y = anchor.y + tail;
  if (y + bh > H - 4) y = std::max(H - 4 - bh, 4.0f);
  note.box = Rect::FromSize(x, y, bw, bh);

  const Rect& box = note.box;
  const float base = box.top > anchor.y ? box.top : box.bottom;
  const float cx = box.left > anchor.x ? box.left + note.radius
                                        : std::min(std::max(box.right - note.radius, box.left + note.radius),
                                                   anchor.x + note.radius);
  const float t = std::max(0.42f * f, 5.0f);
  note.tail[0] = {cx - t, base};
  note.tail[1] = {cx + t, base};
  note.tail[2] = anchor;
  note.border = std::max(0.5f * StrokeWidth(H, width, kOverlayMinStroke), 1.5f);
  return note;
}

PingRingShape PingRingAt(std::uint64_t age, int ring, float height) {
  PingRingShape shape;
  if (age >= kPingLifeMs) return shape;
  const float t = static_cast<float>(age) / kPingLifeMs - 0.22f * static_cast<float>(ring);
  if (!(t > 0 && t < 1)) return shape;
  const float R = std::max(0.028f * height, 28.0f);
  shape.visible = true;
  shape.radius = (0.35f + 1.35f * t) * R;
  shape.lineWidth = (1 - 0.5f * t) * std::max(3 * height / kAnnotationReferenceHeight, 1.0f);
  shape.alpha = (1 - t) * 0.9f;
  return shape;
}

float PointerScale(float height) { return std::max(height / kAnnotationReferenceHeight, 1.0f) * 1.35f; }

float PointerLabelFontSize(float height) { return 14 * PointerScale(height) / 1.35f; }

PointerLabelLayout LayoutPointerLabel(Point tip, Size text, float height) {
  const float s = PointerScale(height);
  const float padX = 7 * s;
  const float padY = 4 * s;
  PointerLabelLayout label;
  label.box = Rect::FromSize(tip.x + 12 * s, tip.y + 16 * s, text.width + 2 * padX, text.height + 2 * padY);
  label.radius = label.box.Height() / 2;
  label.border = std::max(1.1f * s, 1.4f);
  return label;
}

PixelBounds PixelBounds::Union(const PixelBounds& other) const {
  if (other.Empty()) return *this;
  if (Empty()) return other;
  return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
          std::max(bottom, other.bottom)};
}

void DirtyBounds::Add(float left, float top, float right, float bottom) {
  if (!any_) {
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
    any_ = true;
    return;
  }
  left_ = std::min(left_, left);
  top_ = std::min(top_, top);
  right_ = std::max(right_, right);
  bottom_ = std::max(bottom_, bottom);
}

void DirtyBounds::AddDrawing(const Drawing& drawing, float minStroke) {
  const float W = picture_.width;
  const float H = picture_.height;
  if (drawing.kind == DrawingShape::kNote) {
    if (drawing.points.empty()) return;
    const Point a{drawing.points[0].x * W, drawing.points[0].y * H};
    const float dx = NoteMaxWidth(picture_) + 24;
    const float dy = 14 * NoteFontSize(drawing.width, H) + 24;
    Add(a.x - dx, a.y - dy, a.x + dx, a.y + dy);
    return;
  }
  const float margin = 5 * StrokeWidth(H, drawing.width, minStroke) + 8;
  for (const DrawingPoint& p : drawing.points) {
    Add(p.x * W - margin, p.y * H - margin, p.x * W + margin, p.y * H + margin);
  }
}

void DirtyBounds::AddPing(const PingRing& ping) {
  const float H = picture_.height;
  const float margin = std::max(3 * H / kAnnotationReferenceHeight, 1.0f) + 1.75f * std::max(0.028f * H, 28.0f) + 4;
  const Point c{ping.x * picture_.width, ping.y * H};
  Add(c.x - margin, c.y - margin, c.x + margin, c.y + margin);
}

void DirtyBounds::AddPointer(const RemotePointer& pointer) {
  if (!pointer.visible) return;
  const float s = PointerScale(picture_.height);
  const Point p{pointer.x * picture_.width, pointer.y * picture_.height};
  Add(p.x - 6 * s, p.y - 6 * s, p.x + 420 * s, p.y + 60 * s);
}

PixelBounds DirtyBounds::Result() const {
  if (!any_) return {};
  // Clamped before the conversion, so no value (not even NaN) leaves int's range.
  const auto clampTo = [](float v, float high) { return static_cast<int>(v > 0 ? std::min(v, high) : 0.0f); };
  const float W = std::floor(picture_.width);
  const float H = std::floor(picture_.height);
  PixelBounds bounds{clampTo(std::floor(left_), W), clampTo(std::floor(top_), H), clampTo(std::ceil(right_), W),
                     clampTo(std::ceil(bottom_), H)};
  if (bounds.Empty()) return {};
  return bounds;
}

}  // namespace tvx::ui

// Points, rectangles and affine transforms in the drawing target's physical pixels.
#pragma once

#include <algorithm>

namespace tvx::ui {

struct Point {
  float x = 0;
  float y = 0;
};

struct Size {
  float width = 0;
  float height = 0;
};

// Half-open for hit-testing: left <= x < right and top <= y < bottom.
struct Rect {
  float left = 0;
  float top = 0;
  float right = 0;
  float bottom = 0;

  static Rect FromSize(float x, float y, float width, float height) { return {x, y, x + width, y + height}; }
  float Width() const { return right - left; }
  float Height() const { return bottom - top; }
  bool Empty() const { return !(right > left && bottom > top); }
  Point Centre() const { return {(left + right) * 0.5f, (top + bottom) * 0.5f}; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect Inset(float dx, float dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
  Rect Offset(float dx, float dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  // An empty intersection collapses to a zero-size rectangle at the clamped corner.
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
  }
  bool operator==(const Rect&) const = default;
};

// Row-vector affine matrix, the layout Direct2D uses: x' = x·m11 + y·m21 + dx, y' = x·m12 + y·m22 + dy.
struct Transform {
  float m11 = 1, m12 = 0;
  float m21 = 0, m22 = 1;
  float dx = 0, dy = 0;

  static Transform Identity() { return {}; }
  static Transform Translation(float x, float y) { return {1, 0, 0, 1, x, y}; }
  static Transform Scale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
  static Transform Rotation(float degrees);  // clockwise on screen (y down), as Direct2D's rotation
  Point Apply(Point p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  // `*this` first, then `next`.
  Transform Then(const Transform& next) const;
  bool IsIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
  bool operator==(const Transform&) const = default;
};

}  // namespace tvx::ui

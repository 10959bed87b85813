#include "ui/path.h"

#include <algorithm>
#include <cmath>

namespace tvx::ui {

Path& Path::MoveTo(Point p) {
  segments_.push_back({Verb::Move, {p, {}, {}}});
  return *this;
}

Path& Path::LineTo(Point p) {
  segments_.push_back({Verb::Line, {p, {}, {}}});
  return *this;
}

Path& Path::CubicTo(Point c1, Point c2, Point end) {
  segments_.push_back({Verb::Cubic, {c1, c2, end}});
  return *this;
}

Path& Path::Close() {
  segments_.push_back({Verb::Close, {}});
  return *this;
}

namespace {

Point CubicAt(Point a, Point b, Point c, Point d, float t) {
  const float u = 1 - t;
  const float w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
  return {a.x * w0 + b.x * w1 + c.x * w2 + d.x * w3, a.y * w0 + b.y * w1 + c.y * w2 + d.y * w3};
}

float Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

Path Path::Flattened(float tolerance) const {
  Path out;
  out.fill_rule_ = fill_rule_;
  Point current{};
  Point figure_start{};
  tolerance = std::max(tolerance, 0.001f);
  for (const Segment& s : segments_) {
    switch (s.verb) {
      case Verb::Move:
        out.MoveTo(s.p[0]);
        current = figure_start = s.p[0];
        break;
      case Verb::Line:
        out.LineTo(s.p[0]);
        current = s.p[0];
        break;
      case Verb::Cubic: {
        // The control polygon's length bounds the curve's; its deviation shrinks with the square of
        // the step count, so sqrt(length / tolerance) steps keep within the tolerance.
        const float hull = Distance(current, s.p[0]) + Distance(s.p[0], s.p[1]) + Distance(s.p[1], s.p[2]);
        const int steps = std::clamp(static_cast<int>(std::ceil(std::sqrt(hull / tolerance))), 1, 256);
        for (int i = 1; i <= steps; ++i) {
          out.LineTo(CubicAt(current, s.p[0], s.p[1], s.p[2], static_cast<float>(i) / steps));
        }
        current = s.p[2];
        break;
      }
      case Verb::Close:
        out.Close();
        current = figure_start;
        break;
    }
  }
  return out;
}

Path Path::Transformed(const Transform& transform) const {
  Path out = *this;
  for (Segment& s : out.segments_) {
    for (Point& p : s.p) p = transform.Apply(p);
  }
  return out;
}

Rect Path::Bounds() const {
  bool any = false;
  Rect r;
  for (const Segment& s : segments_) {
    const int count = s.verb == Verb::Cubic ? 3 : (s.verb == Verb::Close ? 0 : 1);
    for (int i = 0; i < count; ++i) {
      const Point p = s.p[i];
      if (!any) {
        r = {p.x, p.y, p.x, p.y};
        any = true;
      } else {
        r = {std::min(r.left, p.x), std::min(r.top, p.y), std::max(r.right, p.x), std::max(r.bottom, p.y)};
      }
    }
  }
  return r;
}

}  // namespace tvx::ui

// A vector figure list (lines and cubic Béziers) that a Canvas fills or strokes.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/geometry.h"

namespace tvx::ui {

enum class FillRule : std::uint8_t { Winding = 0, Alternate = 1 };

class Path {
 public:
  enum class Verb : std::uint8_t { Move, Line, Cubic, Close };
  struct Segment {
    Verb verb;
    Point p[3];  // Move/Line use p[0]; Cubic uses p[0], p[1] (controls) and p[2] (end)
  };

  Path& MoveTo(Point p);
  Path& LineTo(Point p);
  Path& CubicTo(Point c1, Point c2, Point end);
  Path& Close();
  Path& SetFillRule(FillRule rule) {
    fill_rule_ = rule;
    return *this;
  }

  const std::vector<Segment>& segments() const { return segments_; }
  FillRule fill_rule() const { return fill_rule_; }
  bool Empty() const { return segments_.empty(); }

  // The same figures with every Bézier replaced by line segments no further than `tolerance` from
  // the curve (some renderers draw cubic curves wrongly; lines they draw right).
  Path Flattened(float tolerance = 0.25f) const;
  // The same figures with every point mapped through `transform`.
  Path Transformed(const Transform& transform) const;
  // Axis-aligned bounds of all points, control points included; empty rectangle for an empty path.
  Rect Bounds() const;

  bool operator==(const Path&) const = default;

 private:
  std::vector<Segment> segments_;
  FillRule fill_rule_ = FillRule::Winding;
};

inline bool operator==(const Path::Segment& a, const Path::Segment& b) {
  if (a.verb != b.verb) return false;
  for (int i = 0; i < 3; ++i) {
    if (a.p[i].x != b.p[i].x || a.p[i].y != b.p[i].y) return false;
  }
  return true;
}

}  // namespace tvx::ui

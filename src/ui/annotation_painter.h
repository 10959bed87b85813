// Paints viewers' annotations through a Canvas: drawings of every kind with their halo, notes,
// ping rings and remote pointers with name labels. The host's overlay paints whole snapshots with
// it; the remote window paints its own drawings with the same rules and a thicker thinnest stroke.
//
// The canvas's transform when a paint starts places the picture: its top-left corner is the
// picture's 0, 0, and every item is painted on top of that transform, which is restored after.
#pragma once

#include <cstdint>

#include "media/annotation_records.h"
#include "media/annotation_store.h"
#include "ui/annotation_layout.h"
#include "ui/canvas.h"
#include "ui/path.h"

namespace tvx::ui {

// The figures the painter fills and strokes, in unit coordinates; filled with the winding rule.
struct AnnotationFigures {
  Path arrowHead;  // tip at the origin, body towards -x
  Path star;       // ten points around the origin, radius 1
  Path heart;      // point at (0, 1); flattened to lines, as some renderers bend cubic curves wrongly
  Path cursor;     // an arrow cursor, tip at the origin, 12.4 x 19.6 units
};
const AnnotationFigures& Figures();

// Font of notes and pointer labels.
inline constexpr const wchar_t* kAnnotationFontFamily = L"Segoe UI";
inline constexpr int kAnnotationFontWeight = 600;

class AnnotationPainter {
 public:
  explicit AnnotationPainter(float minStroke) : minStroke_(minStroke) {}

  float minStroke() const { return minStroke_; }

  // One drawing at `opacity` (0..1) on a picture of `picture` pixels.
  void PaintDrawing(Canvas& canvas, const Drawing& drawing, float opacity, Size picture) const;
  void PaintPing(Canvas& canvas, const PingRing& ping, std::uint64_t nowMs, Size picture) const;
  // Invisible pointers paint nothing.
  void PaintPointer(Canvas& canvas, const RemotePointer& pointer, Size picture) const;

  // A whole snapshot in the overlay's order: stored drawings (faded by age), previews, pings,
  // pointers. Does not clear.
  void PaintSnapshot(Canvas& canvas, const AnnotationSnapshot& snapshot, std::uint64_t nowMs,
                     Size picture) const;
  // What PaintSnapshot may touch, in whole pixels of the picture.
  PixelBounds SnapshotBounds(const AnnotationSnapshot& snapshot, Size picture) const;

 private:
  void PaintLine(Canvas& canvas, const Drawing& drawing, float opacity, Size picture, const Transform& base) const;
  void PaintNote(Canvas& canvas, const Drawing& drawing, float opacity, Size picture) const;

  float minStroke_;
};

// Nothing to show: no drawing, preview or ping, and no visible pointer.
bool SnapshotEmpty(const AnnotationSnapshot& snapshot);

}  // namespace tvx::ui

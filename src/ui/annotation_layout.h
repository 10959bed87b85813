// The arithmetic of painting viewers' annotations: stroke and halo widths, fading, the note box
// with its tail, ping rings, pointer labels and the bounds each item may paint. Pure functions, so
// the overlay and the remote window share them and tests check them without a renderer.
//
// Sizes are given for a picture 1080 pixels high and scale with its height; positions are pixels
// of the painted area (its top-left corner is 0, 0).
#pragma once

#include <cstdint>

#include "media/annotation_records.h"
#include "ui/geometry.h"

namespace tvx::ui {

inline constexpr float kAnnotationReferenceHeight = 1080;
// The thinnest stroke: the overlay paints down to 1 px, the remote window's smaller picture to 1.5.
inline constexpr float kOverlayMinStroke = 1.0f;
inline constexpr float kRemoteMinStroke = 1.5f;
// Drawings with a lifetime fade out over their last 700 ms; pings last 750 ms.
inline constexpr std::uint64_t kAnnotationFadeMs = 700;
inline constexpr std::uint64_t kPingLifeMs = 750;
// Previews are painted slightly see-through.
inline constexpr float kPreviewOpacity = 0.85f;

// Line width of a drawing of `width` (1080-line pixels) on a picture `height` pixels high.
float StrokeWidth(float height, float width, float minStroke);
// The dark outline painted under every line.
float HaloWidth(float stroke);
// Length of an arrow's head.
float ArrowHeadSize(float stroke);

// Opacity of a stored drawing `age` ms old: 1, then falling to 0 over the last 700 ms of its
// lifetime; 0 once the lifetime has passed. A lifetime of 0 never fades.
float DrawingOpacity(std::uint32_t lifetime, std::uint64_t age);
// `colour` (0xAARRGGBB) with its alpha multiplied by `factor` (clamped to 0..1).
std::uint32_t ScaleAlpha(std::uint32_t colour, float factor);

// A note: a rounded box of wrapped text beside its anchor, with a tail pointing at the anchor.
struct NoteLayout {
  Rect box;
  Point tail[3];  // the two base corners on the box's edge, then the anchor
  float pad = 0;
  float radius = 0;
  float border = 0;
};
// Font size of a note of `width` on a picture `height` pixels high.
float NoteFontSize(float width, float height);
// Widest a note's text may wrap to.
float NoteMaxWidth(Size picture);
inline constexpr float kNoteMaxHeight = 4000;
// Places the box for text measuring `text` at font size `fontSize`.
NoteLayout LayoutNote(Point anchor, Size text, float fontSize, float width, Size picture);

// One of a ping's two expanding rings at `age` ms.
struct PingRingShape {
  bool visible = false;
  float radius = 0;
  float lineWidth = 0;
  float alpha = 0;  // multiplies the ping colour's alpha
};
inline constexpr int kPingRings = 2;
PingRingShape PingRingAt(std::uint64_t age, int ring, float height);

// A remote pointer: the cursor figure's scale and the name label beside it.
float PointerScale(float height);
struct PointerLabelLayout {
  Rect box;
  float radius = 0;
  float border = 0;
};
float PointerLabelFontSize(float height);
inline constexpr float kPointerLabelMaxWidth = 400;
inline constexpr float kPointerLabelMaxHeight = 200;
PointerLabelLayout LayoutPointerLabel(Point tip, Size text, float height);

// Whole pixels; right and bottom exclusive.
struct PixelBounds {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool Empty() const { return right <= left || bottom <= top; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  // The smallest bounds holding both; an empty side is ignored.
  PixelBounds Union(const PixelBounds& other) const;
  bool operator==(const PixelBounds&) const = default;
};

// Collects the areas items may paint and gives their union in whole pixels inside the picture.
class DirtyBounds {
 public:
  explicit DirtyBounds(Size picture) : picture_(picture) {}
  void AddDrawing(const Drawing& drawing, float minStroke);
  void AddPing(const PingRing& ping);
  void AddPointer(const RemotePointer& pointer);  // only visible ones count
  PixelBounds Result() const;

 private:
  void Add(float left, float top, float right, float bottom);

  Size picture_;
  bool any_ = false;
  float left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

}  // namespace tvx::ui

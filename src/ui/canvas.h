// The one drawing interface of the interface code: widgets, the title bar, the remote picture and
// the annotation painting of the overlay and the remote window all draw through it.
//
// Coordinates are physical pixels of the target (its DPI is 96). Colours are 0xAARRGGBB, straight
// alpha; every colour is further multiplied by the current opacity. The current transform applies
// to every primitive; clips are axis-aligned rectangles in target pixels and nest (each is the
// intersection with the one below).
//
// Implementations: Direct2D + DirectWrite on Windows, RecordingCanvas for tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/geometry.h"
#include "ui/path.h"

namespace tvx::ui {

// The eight text styles of the interface; the table below gives their fonts.
enum class TextStyle : std::uint8_t {
  Body = 0,
  BodySecondary = 1,
  Small = 2,
  SmallSecondary = 3,
  Heading = 4,
  Title = 5,
  Mono = 6,
  SmallDim = 7,
};
inline constexpr int kTextStyleCount = 8;

enum class TextAlign : std::uint8_t { Left = 0, Centre = 1, Right = 2 };
enum class ParagraphAlign : std::uint8_t { Near = 0, Centre = 1, Far = 2 };

// A font description. Sizes are DIP; the canvas multiplies by the scale it was given for styles
// (SetTextScale) but takes TextFormat sizes as pixels, since annotation sizes follow the picture.
struct FontSpec {
  const wchar_t* family;
  int weight;  // 400 regular, 600 semibold
  float size;
};

// Fonts of the styles, indexed by TextStyle. Locale "en-us", normal style and stretch, no wrapping,
// vertically centred paragraphs.
inline constexpr FontSpec kTextStyleFonts[kTextStyleCount] = {
    {L"Segoe UI", 400, 14}, {L"Segoe UI", 400, 14}, {L"Segoe UI", 400, 12}, {L"Segoe UI", 400, 12},
    {L"Segoe UI", 600, 15}, {L"Segoe UI", 600, 20}, {L"Consolas", 400, 13}, {L"Segoe UI", 400, 12},
};

// Free text layout for annotations (notes, pointer labels): any family, size in pixels, optional
// word wrapping inside a maximum box.
struct TextFormat {
  const wchar_t* family = L"Segoe UI";
  int weight = 400;
  float size = 14;  // pixels
  bool wrap = false;
  TextAlign align = TextAlign::Left;
  ParagraphAlign paragraph = ParagraphAlign::Near;
};

enum class LineCap : std::uint8_t { Flat = 0, Round = 1, Square = 2 };
enum class LineJoin : std::uint8_t { Miter = 0, Round = 1, Bevel = 2 };

struct StrokeStyle {
  LineCap cap = LineCap::Flat;  // start, end and dash caps alike
  LineJoin join = LineJoin::Miter;
  float miter_limit = 10;

  static StrokeStyle Rounded() { return {LineCap::Round, LineJoin::Round, 10}; }
  bool operator==(const StrokeStyle&) const = default;
};

enum class Interpolation : std::uint8_t { NearestNeighbour = 0, Linear = 1, HighQualityCubic = 2 };

// A bitmap owned by the canvas. 0 is "no bitmap". A handle stays valid until released, or until
// the canvas loses its device (then HasBitmap turns false and the owner creates it again).
using BitmapHandle = std::uint32_t;

class Canvas {
 public:
  virtual ~Canvas() = default;

  // --- State -------------------------------------------------------------------------------------
  virtual void SetTransform(const Transform& transform) = 0;
  virtual Transform GetTransform() const = 0;
  // Clips drawing to `rect` (target pixels, snapped outwards to whole pixels) until PopClip.
  virtual void PushClip(const Rect& rect) = 0;
  virtual void PopClip() = 0;
  // Multiplies every colour and bitmap drawn until PopOpacity by `opacity` (0..1); nests.
  virtual void PushOpacity(float opacity) = 0;
  virtual void PopOpacity() = 0;

  // --- Shapes ------------------------------------------------------------------------------------
  virtual void Clear(std::uint32_t colour) = 0;
  virtual void FillRect(const Rect& rect, std::uint32_t colour) = 0;
  // `radius` is used as given; callers limit it to half the smaller side.
  virtual void FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) = 0;
  virtual void StrokeRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) = 0;
  virtual void DrawLine(Point from, Point to, std::uint32_t colour, float width,
                        const StrokeStyle& style = {}) = 0;
  virtual void FillEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour) = 0;
  virtual void StrokeEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour, float width,
                             const StrokeStyle& style = {}) = 0;
  virtual void FillPath(const Path& path, std::uint32_t colour) = 0;
  virtual void StrokePath(const Path& path, std::uint32_t colour, float width, const StrokeStyle& style = {}) = 0;

  // --- Text in the interface styles (single line, no wrapping) -----------------------------------
  // Font sizes of the styles are DIP times this scale.
  virtual void SetTextScale(float scale) = 0;
  // Drawn clipped to `rect`, vertically centred, aligned horizontally inside it. (Not named
  // DrawText: windows.h defines that as a macro.)
  virtual void DrawStyledText(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align,
                              std::uint32_t colour) = 0;
  // Width of the laid-out text, trailing spaces included.
  virtual float MeasureText(std::wstring_view text, TextStyle style) = 0;
  // The x of every caret position of `text` laid out from x = 0 without limits: text.size() + 1
  // values, one before each code unit and one after the last. A position inside a cluster (a
  // surrogate pair, a combining sequence) gets the cluster's leading edge. Built from cluster
  // advances, never from the text engine's hit-testing (which some platforms lack).
  virtual void CaretPositions(std::wstring_view text, TextStyle style, std::vector<float>& positions) = 0;
  // Height of one line of the style, in pixels.
  virtual float LineHeight(TextStyle style) = 0;

  // --- Free text layout (annotations) ------------------------------------------------------------
  // Size of the text laid out in `format` inside max_width × max_height (wrapping when asked).
  virtual Size MeasureTextLayout(std::wstring_view text, const TextFormat& format, float max_width,
                                 float max_height) = 0;
  // Draws that layout with its top-left corner at `origin`.
  virtual void DrawTextLayout(std::wstring_view text, const TextFormat& format, Point origin, float max_width,
                              float max_height, std::uint32_t colour) = 0;

  // --- Bitmaps -----------------------------------------------------------------------------------
  // Pixels are 32-bit premultiplied BGRA (a little-endian 0xAARRGGBB); `stride` in bytes.
  // Returns 0 when the bitmap cannot be made.
  virtual BitmapHandle CreateBitmap(int width, int height, const void* pixels, int stride) = 0;
  // Copies a rectangle of new pixels (x, y, width, height within the bitmap) into it.
  virtual bool UpdateBitmap(BitmapHandle bitmap, int x, int y, int width, int height, const void* pixels,
                            int stride) = 0;
  virtual void ReleaseBitmap(BitmapHandle bitmap) = 0;
  virtual bool HasBitmap(BitmapHandle bitmap) const = 0;
  // Draws the `source` part of the bitmap (bitmap pixels; an empty rectangle means all of it) into
  // `destination`, under the current transform.
  virtual void DrawBitmap(BitmapHandle bitmap, const Rect& destination, const Rect& source, float opacity,
                          Interpolation interpolation) = 0;
};

// Pushes a clip for one scope.
class ScopedClip {
 public:
  ScopedClip(Canvas& canvas, const Rect& rect) : canvas_(canvas) { canvas_.PushClip(rect); }
  ~ScopedClip() { canvas_.PopClip(); }
  ScopedClip(const ScopedClip&) = delete;
  ScopedClip& operator=(const ScopedClip&) = delete;

 private:
  Canvas& canvas_;
};

}  // namespace tvx::ui

// A Canvas that draws nothing and records every call, with deterministic text metrics, so tests can
// assert what was drawn where.
//
// Text metrics: every code unit advances size × 0.5 (a surrogate pair counts once), one line is
// size × 1.25 high, where size is the style's DIP size times the text scale, or a TextFormat's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"

namespace tvx::ui {

struct DrawOp {
  enum class Kind : std::uint8_t {
    Clear,
    FillRect,
    FillRoundedRect,
    StrokeRoundedRect,
    Line,
    FillEllipse,
    StrokeEllipse,
    FillPath,
    StrokePath,
    Text,
    TextLayout,
    Bitmap,
  };
  Kind kind = Kind::Clear;
  Rect rect;                 // shapes, text box, bitmap destination
  Point from, to;            // lines; ellipse centre in `from`
  float radius_x = 0, radius_y = 0;  // rounded-rectangle radius in radius_x
  float width = 0;           // stroke width
  std::uint32_t colour = 0;  // as given
  float opacity = 1;         // the product of the pushed opacities (and a bitmap's own)
  std::wstring text;
  TextStyle style = TextStyle::Body;
  TextAlign align = TextAlign::Left;
  TextFormat format;
  Path path;
  StrokeStyle stroke;
  Transform transform;
  Rect clip;                 // the effective clip; has_clip false when none was pushed
  bool has_clip = false;
  BitmapHandle bitmap = 0;
  Rect source;
  Interpolation interpolation = Interpolation::Linear;
};

class RecordingCanvas : public Canvas {
 public:
  static constexpr float kAdvance = 0.5f;
  static constexpr float kLineHeight = 1.25f;

  const std::vector<DrawOp>& ops() const { return ops_; }
  void ClearOps() { ops_.clear(); }
  // Ops of one kind, in drawing order.
  std::vector<const DrawOp*> Find(DrawOp::Kind kind) const;
  // The text op drawing exactly `text` (the `occurrence`-th one, counting from 0), or nullptr.
  const DrawOp* FindText(std::wstring_view text, int occurrence = 0) const;
  std::size_t clip_depth() const { return clips_.size(); }
  std::size_t opacity_depth() const { return opacities_.size(); }
  // Forgets every bitmap, as a lost device does.
  void LoseDevice() { bitmaps_.clear(); }
  std::size_t bitmap_count() const { return bitmaps_.size(); }
  // The pixels a bitmap holds now (premultiplied BGRA, tightly packed).
  const std::vector<std::uint32_t>* BitmapPixels(BitmapHandle bitmap) const;

  void SetTransform(const Transform& transform) override { transform_ = transform; }
  Transform GetTransform() const override { return transform_; }
  void PushClip(const Rect& rect) override;
  void PopClip() override;
  void PushOpacity(float opacity) override;
  void PopOpacity() override;

  void Clear(std::uint32_t colour) override;
  void FillRect(const Rect& rect, std::uint32_t colour) override;
  void FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) override;
  void StrokeRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) override;
  void DrawLine(Point from, Point to, std::uint32_t colour, float width, const StrokeStyle& style) override;
  void FillEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour) override;
  void StrokeEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour, float width,
                     const StrokeStyle& style) override;
  void FillPath(const Path& path, std::uint32_t colour) override;
  void StrokePath(const Path& path, std::uint32_t colour, float width, const StrokeStyle& style) override;

  void SetTextScale(float scale) override { text_scale_ = scale; }
  void DrawStyledText(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align,
                      std::uint32_t colour) override;
  float MeasureText(std::wstring_view text, TextStyle style) override;
  void CaretPositions(std::wstring_view text, TextStyle style, std::vector<float>& positions) override;
  float LineHeight(TextStyle style) override { return StyleSize(style) * kLineHeight; }

  Size MeasureTextLayout(std::wstring_view text, const TextFormat& format, float max_width,
                         float max_height) override;
  void DrawTextLayout(std::wstring_view text, const TextFormat& format, Point origin, float max_width,
                      float max_height, std::uint32_t colour) override;

  BitmapHandle CreateBitmap(int width, int height, const void* pixels, int stride) override;
  bool UpdateBitmap(BitmapHandle bitmap, int x, int y, int width, int height, const void* pixels,
                    int stride) override;
  void ReleaseBitmap(BitmapHandle bitmap) override { bitmaps_.erase(bitmap); }
  bool HasBitmap(BitmapHandle bitmap) const override { return bitmaps_.count(bitmap) != 0; }
  void DrawBitmap(BitmapHandle bitmap, const Rect& destination, const Rect& source, float opacity,
                  Interpolation interpolation) override;

  float StyleSize(TextStyle style) const;

 private:
  struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
  };

  DrawOp& Record(DrawOp::Kind kind);
  static float Width(std::wstring_view text, float size);

  std::vector<DrawOp> ops_;
  Transform transform_;
  std::vector<Rect> clips_;
  std::vector<float> opacities_;
  float text_scale_ = 1;
  std::map<BitmapHandle, Bitmap> bitmaps_;
  BitmapHandle next_bitmap_ = 1;
};

}  // namespace tvx::ui

// A Canvas for tests of annotation painting: it draws nothing and logs every shape with its colour,
// width and transform. Text measures 0.5 × size per code unit and 1.25 × size per line (wrapping
// at the given width).
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace tvx::testing {

struct PaintOp {
  enum class Kind { Clear, FillRect, FillRoundedRect, StrokeRoundedRect, Line, FillEllipse, StrokeEllipse,
                    FillPath, StrokePath, TextLayout };
  Kind kind;
  std::uint32_t colour = 0;
  float width = 0;
  ui::Transform transform;
  ui::Rect rect;      // rectangles; a text layout's origin and maximum size
  ui::Point from, to;  // lines; an ellipse's centre in `from`
  float radiusX = 0, radiusY = 0;  // ellipses; a rounded rectangle's radius in radiusX
  ui::StrokeStyle stroke;
  ui::Path path;
  std::wstring text;
  ui::TextFormat format;
};

class PaintLogCanvas final : public ui::Canvas {
 public:
  std::vector<PaintOp> ops;

  std::vector<const PaintOp*> Find(PaintOp::Kind kind) const {
    std::vector<const PaintOp*> found;
    for (const PaintOp& op : ops) {
      if (op.kind == kind) found.push_back(&op);
    }
    return found;
  }

  static ui::Size TextSize(std::wstring_view text, const ui::TextFormat& format, float maxWidth) {
    const float width = 0.5f * format.size * static_cast<float>(text.size());
    if (!format.wrap || width <= maxWidth) return {width, 1.25f * format.size};
    return {maxWidth, std::ceil(width / maxWidth) * 1.25f * format.size};
  }

  void SetTransform(const ui::Transform& t) override { transform_ = t; }
  ui::Transform GetTransform() const override { return transform_; }
  void PushClip(const ui::Rect&) override {}
  void PopClip() override {}
  void PushOpacity(float) override {}
  void PopOpacity() override {}
  void Clear(std::uint32_t colour) override { Add(PaintOp::Kind::Clear).colour = colour; }
  void FillRect(const ui::Rect& rect, std::uint32_t colour) override {
    PaintOp& op = Add(PaintOp::Kind::FillRect);
    op.rect = rect;
    op.colour = colour;
  }
  void FillRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour) override {
    PaintOp& op = Add(PaintOp::Kind::FillRoundedRect);
    op.rect = rect;
    op.radiusX = radius;
    op.colour = colour;
  }
  void StrokeRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour, float width) override {
    PaintOp& op = Add(PaintOp::Kind::StrokeRoundedRect);
    op.rect = rect;
    op.radiusX = radius;
    op.colour = colour;
    op.width = width;
  }
  void DrawLine(ui::Point from, ui::Point to, std::uint32_t colour, float width,
                const ui::StrokeStyle& style) override {
    PaintOp& op = Add(PaintOp::Kind::Line);
    op.from = from;
    op.to = to;
    op.colour = colour;
    op.width = width;
    op.stroke = style;
  }
  void FillEllipse(ui::Point centre, float rx, float ry, std::uint32_t colour) override {
    PaintOp& op = Add(PaintOp::Kind::FillEllipse);
    op.from = centre;
    op.radiusX = rx;
    op.radiusY = ry;
    op.colour = colour;
  }
  void StrokeEllipse(ui::Point centre, float rx, float ry, std::uint32_t colour, float width,
                     const ui::StrokeStyle& style) override {
    PaintOp& op = Add(PaintOp::Kind::StrokeEllipse);
    op.from = centre;
    op.radiusX = rx;
    op.radiusY = ry;
    op.colour = colour;
    op.width = width;
    op.stroke = style;
  }
  void FillPath(const ui::Path& path, std::uint32_t colour) override {
    PaintOp& op = Add(PaintOp::Kind::FillPath);
    op.path = path;
    op.colour = colour;
  }
  void StrokePath(const ui::Path& path, std::uint32_t colour, float width, const ui::StrokeStyle& style) override {
    PaintOp& op = Add(PaintOp::Kind::StrokePath);
    op.path = path;
    op.colour = colour;
    op.width = width;
    op.stroke = style;
  }
  void SetTextScale(float) override {}
  void DrawText(std::wstring_view, const ui::Rect&, ui::TextStyle, ui::TextAlign, std::uint32_t) override {}
  float MeasureText(std::wstring_view text, ui::TextStyle) override { return 7.0f * text.size(); }
  void CaretPositions(std::wstring_view text, ui::TextStyle, std::vector<float>& positions) override {
    positions.assign(text.size() + 1, 0.0f);
  }
  float LineHeight(ui::TextStyle) override { return 17.5f; }
  ui::Size MeasureTextLayout(std::wstring_view text, const ui::TextFormat& format, float maxWidth,
                             float) override {
    return TextSize(text, format, maxWidth);
  }
  void DrawTextLayout(std::wstring_view text, const ui::TextFormat& format, ui::Point origin, float maxWidth,
                      float maxHeight, std::uint32_t colour) override {
    PaintOp& op = Add(PaintOp::Kind::TextLayout);
    op.text = text;
    op.format = format;
    op.rect = ui::Rect::FromSize(origin.x, origin.y, maxWidth, maxHeight);
    op.colour = colour;
  }
  ui::BitmapHandle CreateBitmap(int, int, const void*, int) override { return 0; }
  bool UpdateBitmap(ui::BitmapHandle, int, int, int, int, const void*, int) override { return false; }
  void ReleaseBitmap(ui::BitmapHandle) override {}
  bool HasBitmap(ui::BitmapHandle) const override { return false; }
  void DrawBitmap(ui::BitmapHandle, const ui::Rect&, const ui::Rect&, float, ui::Interpolation) override {}

 private:
  PaintOp& Add(PaintOp::Kind kind) {
    ops.push_back({kind});
    ops.back().transform = transform_;
    return ops.back();
  }
  ui::Transform transform_;
};

}  // namespace tvx::testing

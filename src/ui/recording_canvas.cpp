#include "ui/recording_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tvx::ui {

namespace {

bool IsLowSurrogateAfterHigh(std::wstring_view text, std::size_t i) {
  return i > 0 && text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
}

}  // namespace

std::vector<const DrawOp*> RecordingCanvas::Find(DrawOp::Kind kind) const {
  std::vector<const DrawOp*> found;
  for (const DrawOp& op : ops_) {
    if (op.kind == kind) found.push_back(&op);
  }
  return found;
}

const DrawOp* RecordingCanvas::FindText(std::wstring_view text, int occurrence) const {
  for (const DrawOp& op : ops_) {
    if ((op.kind == DrawOp::Kind::Text || op.kind == DrawOp::Kind::TextLayout) && op.text == text &&
        occurrence-- == 0) {
      return &op;
    }
  }
  return nullptr;
}

const std::vector<std::uint32_t>* RecordingCanvas::BitmapPixels(BitmapHandle bitmap) const {
  auto it = bitmaps_.find(bitmap);
  return it == bitmaps_.end() ? nullptr : &it->second.pixels;
}

DrawOp& RecordingCanvas::Record(DrawOp::Kind kind) {
  DrawOp& op = ops_.emplace_back();
  op.kind = kind;
  op.transform = transform_;
  op.has_clip = !clips_.empty();
  if (op.has_clip) op.clip = clips_.back();
  for (float o : opacities_) op.opacity *= o;
  return op;
}

void RecordingCanvas::PushClip(const Rect& rect) {
  Rect snapped{std::floor(rect.left), std::floor(rect.top), std::ceil(rect.right), std::ceil(rect.bottom)};
  clips_.push_back(clips_.empty() ? snapped : clips_.back().Intersect(snapped));
}

void RecordingCanvas::PopClip() {
  if (!clips_.empty()) clips_.pop_back();
}

void RecordingCanvas::PushOpacity(float opacity) { opacities_.push_back(std::clamp(opacity, 0.0f, 1.0f)); }

void RecordingCanvas::PopOpacity() {
  if (!opacities_.empty()) opacities_.pop_back();
}

void RecordingCanvas::Clear(std::uint32_t colour) { Record(DrawOp::Kind::Clear).colour = colour; }

void RecordingCanvas::FillRect(const Rect& rect, std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::FillRect);
  op.rect = rect;
  op.colour = colour;
}

void RecordingCanvas::FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::FillRoundedRect);
  op.rect = rect;
  op.radius_x = op.radius_y = radius;
  op.colour = colour;
}

void RecordingCanvas::StrokeRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) {
  DrawOp& op = Record(DrawOp::Kind::StrokeRoundedRect);
  op.rect = rect;
  op.radius_x = op.radius_y = radius;
  op.colour = colour;
  op.width = width;
}

void RecordingCanvas::DrawLine(Point from, Point to, std::uint32_t colour, float width, const StrokeStyle& style) {
  DrawOp& op = Record(DrawOp::Kind::Line);
  op.from = from;
  op.to = to;
  op.colour = colour;
  op.width = width;
  op.stroke = style;
}

void RecordingCanvas::FillEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::FillEllipse);
  op.from = centre;
  op.radius_x = radius_x;
  op.radius_y = radius_y;
  op.colour = colour;
}

void RecordingCanvas::StrokeEllipse(Point centre, float radius_x, float radius_y, std::uint32_t colour, float width,
                                    const StrokeStyle& style) {
  DrawOp& op = Record(DrawOp::Kind::StrokeEllipse);
  op.from = centre;
  op.radius_x = radius_x;
  op.radius_y = radius_y;
  op.colour = colour;
  op.width = width;
  op.stroke = style;
}

void RecordingCanvas::FillPath(const Path& path, std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::FillPath);
  op.path = path;
  op.colour = colour;
}

void RecordingCanvas::StrokePath(const Path& path, std::uint32_t colour, float width, const StrokeStyle& style) {
  DrawOp& op = Record(DrawOp::Kind::StrokePath);
  op.path = path;
  op.colour = colour;
  op.width = width;
  op.stroke = style;
}

float RecordingCanvas::StyleSize(TextStyle style) const {
  const int index = std::clamp(static_cast<int>(style), 0, kTextStyleCount - 1);
  return kTextStyleFonts[index].size * text_scale_;
}

float RecordingCanvas::Width(std::wstring_view text, float size) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsLowSurrogateAfterHigh(text, i)) ++units;
  }
  return static_cast<float>(units) * size * kAdvance;
}

void RecordingCanvas::DrawStyledText(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align,
                                     std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::Text);
  op.text = std::wstring(text);
  op.rect = rect;
  op.style = style;
  op.align = align;
  op.colour = colour;
}

float RecordingCanvas::MeasureText(std::wstring_view text, TextStyle style) { return Width(text, StyleSize(style)); }

void RecordingCanvas::CaretPositions(std::wstring_view text, TextStyle style, std::vector<float>& positions) {
  const float advance = StyleSize(style) * kAdvance;
  positions.assign(text.size() + 1, 0.0f);
  float x = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLowSurrogateAfterHigh(text, i)) {
      positions[i] = positions[i - 1];  // inside the pair: the cluster's leading edge
      continue;
    }
    positions[i] = x;
    x += advance;
  }
  positions[text.size()] = x;
}

Size RecordingCanvas::MeasureTextLayout(std::wstring_view text, const TextFormat& format, float max_width,
                                        float max_height) {
  // Greedy word wrap over fixed advances: a word that does not fit on a started line moves to the
  // next; a word wider than the box breaks where it overflows.
  const float advance = format.size * kAdvance;
  const float line_height = format.size * kLineHeight;
  float widest = 0;
  float line = 0;
  int lines = text.empty() ? 0 : 1;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == L'\n') {
      widest = std::max(widest, line);
      line = 0;
      ++lines;
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && text[end] != L' ' && text[end] != L'\n') ++end;
    const bool is_space = end == i;
    if (is_space) end = i + 1;
    const float word = static_cast<float>(end - i) * advance;
    if (format.wrap && !is_space && line > 0 && line + word > max_width) {
      widest = std::max(widest, line);
      line = 0;
      ++lines;
    }
    if (format.wrap && !is_space && word > max_width) {
      for (std::size_t k = i; k < end; ++k) {
        if (line + advance > max_width && line > 0) {
          widest = std::max(widest, line);
          line = 0;
          ++lines;
        }
        line += advance;
      }
    } else {
      line += word;
    }
    i = end;
  }
  widest = std::max(widest, line);
  return {std::min(widest, format.wrap ? max_width : widest), std::min(lines * line_height, max_height)};
}

void RecordingCanvas::DrawTextLayout(std::wstring_view text, const TextFormat& format, Point origin, float max_width,
                                     float max_height, std::uint32_t colour) {
  DrawOp& op = Record(DrawOp::Kind::TextLayout);
  op.text = std::wstring(text);
  op.format = format;
  op.rect = Rect::FromSize(origin.x, origin.y, max_width, max_height);
  op.colour = colour;
}

BitmapHandle RecordingCanvas::CreateBitmap(int width, int height, const void* pixels, int stride) {
  if (width < 1 || height < 1) return 0;
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixels.assign(static_cast<std::size_t>(width) * height, 0);
  const BitmapHandle handle = next_bitmap_++;
  bitmaps_[handle] = std::move(bitmap);
  if (pixels != nullptr) UpdateBitmap(handle, 0, 0, width, height, pixels, stride);
  return handle;
}

bool RecordingCanvas::UpdateBitmap(BitmapHandle handle, int x, int y, int width, int height, const void* pixels,
                                   int stride) {
  auto it = bitmaps_.find(handle);
  if (it == bitmaps_.end() || pixels == nullptr) return false;
  Bitmap& b = it->second;
  if (x < 0 || y < 0 || width < 0 || height < 0 || x + width > b.width || y + height > b.height) return false;
  const auto* bytes = static_cast<const unsigned char*>(pixels);
  for (int row = 0; row < height; ++row) {
    std::memcpy(&b.pixels[static_cast<std::size_t>(y + row) * b.width + x],
                bytes + static_cast<std::size_t>(row) * stride, static_cast<std::size_t>(width) * 4);
  }
  return true;
}

void RecordingCanvas::DrawBitmap(BitmapHandle bitmap, const Rect& destination, const Rect& source, float opacity,
                                 Interpolation interpolation) {
  DrawOp& op = Record(DrawOp::Kind::Bitmap);
  op.bitmap = bitmap;
  op.rect = destination;
  op.source = source;
  op.opacity *= opacity;
  op.interpolation = interpolation;
}

}  // namespace tvx::ui

#include "media/overlay_canvas_win.h"

#include <algorithm>
#include <cmath>

namespace tvx {

using Microsoft::WRL::ComPtr;

namespace {

D2D1_POINT_2F ToD2D(ui::Point p) { return D2D1::Point2F(p.x, p.y); }
D2D1_RECT_F ToD2D(const ui::Rect& r) { return D2D1::RectF(r.left, r.top, r.right, r.bottom); }

D2D1_CAP_STYLE Cap(ui::LineCap cap) {
  switch (cap) {
    case ui::LineCap::Round: return D2D1_CAP_STYLE_ROUND;
    case ui::LineCap::Square: return D2D1_CAP_STYLE_SQUARE;
    default: return D2D1_CAP_STYLE_FLAT;
  }
}

D2D1_LINE_JOIN Join(ui::LineJoin join) {
  switch (join) {
    case ui::LineJoin::Round: return D2D1_LINE_JOIN_ROUND;
    case ui::LineJoin::Bevel: return D2D1_LINE_JOIN_BEVEL;
    default: return D2D1_LINE_JOIN_MITER;
  }
}

}  // namespace

OverlayCanvas::OverlayCanvas(ID2D1Factory* factory, IDWriteFactory* text) : factory_(factory), text_(text) {}

bool OverlayCanvas::SetTarget(ID2D1RenderTarget* target) {
  brush_.Reset();
  target_ = nullptr;
  if (!target) return true;
  if (FAILED(target->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), brush_.GetAddressOf()))) return false;
  target_ = target;
  return true;
}

void OverlayCanvas::SetTransform(const ui::Transform& t) {
  target_->SetTransform(D2D1::Matrix3x2F(t.m11, t.m12, t.m21, t.m22, t.dx, t.dy));
}

ui::Transform OverlayCanvas::GetTransform() const {
  D2D1_MATRIX_3X2_F m;
  target_->GetTransform(&m);
  return {m._11, m._12, m._21, m._22, m._31, m._32};
}

void OverlayCanvas::PushClip(const ui::Rect& rect) {
  // Clips are in target pixels: set aside the transform while pushing, snap outwards.
  D2D1_MATRIX_3X2_F saved;
  target_->GetTransform(&saved);
  target_->SetTransform(D2D1::Matrix3x2F::Identity());
  target_->PushAxisAlignedClip(D2D1::RectF(std::floor(rect.left), std::floor(rect.top), std::ceil(rect.right),
                                           std::ceil(rect.bottom)),
                               D2D1_ANTIALIAS_MODE_ALIASED);
  target_->SetTransform(saved);
}

void OverlayCanvas::PopClip() { target_->PopAxisAlignedClip(); }

void OverlayCanvas::PushOpacity(float opacity) {
  opacities_.push_back(opacity_);
  opacity_ *= std::clamp(opacity, 0.0f, 1.0f);
}

void OverlayCanvas::PopOpacity() {
  if (opacities_.empty()) return;
  opacity_ = opacities_.back();
  opacities_.pop_back();
}

ID2D1SolidColorBrush* OverlayCanvas::Brush(std::uint32_t colour) {
  const float a = static_cast<float>(colour >> 24) / 255.0f * opacity_;
  brush_->SetColor(D2D1::ColorF(static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                                static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                                static_cast<float>(colour & 0xFF) / 255.0f, a));
  return brush_.Get();
}

ID2D1StrokeStyle* OverlayCanvas::Stroke(const ui::StrokeStyle& style) {
  if (style == ui::StrokeStyle{}) return nullptr;  // Direct2D's default: flat caps, miter joins
  ComPtr<ID2D1StrokeStyle>& slot = strokes_[static_cast<int>(style.cap) * 3 + static_cast<int>(style.join)];
  if (!slot) {
    const D2D1_CAP_STYLE cap = Cap(style.cap);
    factory_->CreateStrokeStyle(
        D2D1::StrokeStyleProperties(cap, cap, cap, Join(style.join), style.miter_limit, D2D1_DASH_STYLE_SOLID, 0),
        nullptr, 0, slot.GetAddressOf());
  }
  return slot.Get();
}

ComPtr<ID2D1PathGeometry> OverlayCanvas::Geometry(const ui::Path& path) {
  ComPtr<ID2D1PathGeometry> geometry;
  ComPtr<ID2D1GeometrySink> sink;
  if (FAILED(factory_->CreatePathGeometry(geometry.GetAddressOf())) || FAILED(geometry->Open(sink.GetAddressOf()))) {
    return nullptr;
  }
  sink->SetFillMode(path.fill_rule() == ui::FillRule::Winding ? D2D1_FILL_MODE_WINDING : D2D1_FILL_MODE_ALTERNATE);
  bool open = false;
  for (const ui::Path::Segment& s : path.segments()) {
    switch (s.verb) {
      case ui::Path::Verb::Move:
        if (open) sink->EndFigure(D2D1_FIGURE_END_OPEN);
        sink->BeginFigure(ToD2D(s.p[0]), D2D1_FIGURE_BEGIN_FILLED);
        open = true;
        break;
      case ui::Path::Verb::Line:
        if (open) sink->AddLine(ToD2D(s.p[0]));
        break;
      case ui::Path::Verb::Cubic:
        if (open) sink->AddBezier(D2D1::BezierSegment(ToD2D(s.p[0]), ToD2D(s.p[1]), ToD2D(s.p[2])));
        break;
      case ui::Path::Verb::Close:
        if (open) sink->EndFigure(D2D1_FIGURE_END_CLOSED);
        open = false;
        break;
    }
  }
  if (open) sink->EndFigure(D2D1_FIGURE_END_OPEN);
  if (FAILED(sink->Close())) return nullptr;
  return geometry;
}

void OverlayCanvas::Clear(std::uint32_t colour) {
  const float a = static_cast<float>(colour >> 24) / 255.0f;
  target_->Clear(D2D1::ColorF(static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                              static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                              static_cast<float>(colour & 0xFF) / 255.0f, a));
}

void OverlayCanvas::FillRect(const ui::Rect& rect, std::uint32_t colour) {
  target_->FillRectangle(ToD2D(rect), Brush(colour));
}

void OverlayCanvas::FillRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour) {
  target_->FillRoundedRectangle(D2D1::RoundedRect(ToD2D(rect), radius, radius), Brush(colour));
}

void OverlayCanvas::StrokeRoundedRect(const ui::Rect& rect, float radius, std::uint32_t colour, float width) {
  target_->DrawRoundedRectangle(D2D1::RoundedRect(ToD2D(rect), radius, radius), Brush(colour), width);
}

void OverlayCanvas::DrawLine(ui::Point from, ui::Point to, std::uint32_t colour, float width,
                             const ui::StrokeStyle& style) {
  target_->DrawLine(ToD2D(from), ToD2D(to), Brush(colour), width, Stroke(style));
}

void OverlayCanvas::FillEllipse(ui::Point centre, float radius_x, float radius_y, std::uint32_t colour) {
  target_->FillEllipse(D2D1::Ellipse(ToD2D(centre), radius_x, radius_y), Brush(colour));
}

void OverlayCanvas::StrokeEllipse(ui::Point centre, float radius_x, float radius_y, std::uint32_t colour,
                                  float width, const ui::StrokeStyle& style) {
  target_->DrawEllipse(D2D1::Ellipse(ToD2D(centre), radius_x, radius_y), Brush(colour), width, Stroke(style));
}

void OverlayCanvas::FillPath(const ui::Path& path, std::uint32_t colour) {
  if (ComPtr<ID2D1PathGeometry> geometry = Geometry(path)) target_->FillGeometry(geometry.Get(), Brush(colour));
}

void OverlayCanvas::StrokePath(const ui::Path& path, std::uint32_t colour, float width,
                               const ui::StrokeStyle& style) {
  if (ComPtr<ID2D1PathGeometry> geometry = Geometry(path)) {
    target_->DrawGeometry(geometry.Get(), Brush(colour), width, Stroke(style));
  }
}

std::wstring OverlayCanvas::InstalledFamily(const wchar_t* family) {
  for (const auto& [asked, used] : families_) {
    if (asked == family) return used;
  }
  std::wstring used = family;
  ComPtr<IDWriteFontCollection> fonts;
  if (SUCCEEDED(text_->GetSystemFontCollection(fonts.GetAddressOf(), FALSE))) {
    UINT32 index = 0;
    BOOL exists = FALSE;
    if (SUCCEEDED(fonts->FindFamilyName(family, &index, &exists)) && !exists && fonts->GetFontFamilyCount() > 0) {
      ComPtr<IDWriteFontFamily> first;
      ComPtr<IDWriteLocalizedStrings> names;
      UINT32 length = 0;
      if (SUCCEEDED(fonts->GetFontFamily(0, first.GetAddressOf())) &&
          SUCCEEDED(first->GetFamilyNames(names.GetAddressOf())) && SUCCEEDED(names->GetStringLength(0, &length))) {
        std::wstring name(length + 1, L'\0');
        if (SUCCEEDED(names->GetString(0, name.data(), length + 1))) used.assign(name.c_str());
      }
    }
  }
  families_.emplace_back(family, used);
  return used;
}

IDWriteTextFormat* OverlayCanvas::Format(const wchar_t* family, int weight, float size) {
  for (const CachedFormat& f : formats_) {
    if (f.family == family && f.weight == weight && f.size == size) return f.format.Get();
  }
  // Annotation sizes follow the picture; keep the cache from growing with every size seen.
  if (formats_.size() >= 32) formats_.erase(formats_.begin());
  CachedFormat entry{family, weight, size, nullptr};
  const std::wstring installed = InstalledFamily(family);
  if (FAILED(text_->CreateTextFormat(installed.c_str(), nullptr, static_cast<DWRITE_FONT_WEIGHT>(weight),
                                     DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, std::max(size, 1.0f),
                                     L"en-us", entry.format.GetAddressOf()))) {
    return nullptr;
  }
  formats_.push_back(std::move(entry));
  return formats_.back().format.Get();
}

ComPtr<IDWriteTextLayout> OverlayCanvas::Layout(std::wstring_view text, const ui::TextFormat& format,
                                                float max_width, float max_height) {
  IDWriteTextFormat* base = Format(format.family, format.weight, format.size);
  ComPtr<IDWriteTextLayout> layout;
  if (!base || FAILED(text_->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), base,
                                              std::max(max_width, 0.0f), std::max(max_height, 0.0f),
                                              layout.GetAddressOf()))) {
    return nullptr;
  }
  layout->SetWordWrapping(format.wrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
  layout->SetTextAlignment(format.align == ui::TextAlign::Centre  ? DWRITE_TEXT_ALIGNMENT_CENTER
                           : format.align == ui::TextAlign::Right ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                                  : DWRITE_TEXT_ALIGNMENT_LEADING);
  layout->SetParagraphAlignment(format.paragraph == ui::ParagraphAlign::Centre ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                                : format.paragraph == ui::ParagraphAlign::Far  ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                                                               : DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
  return layout;
}

ui::Size OverlayCanvas::MeasureTextLayout(std::wstring_view text, const ui::TextFormat& format, float max_width,
                                          float max_height) {
  ComPtr<IDWriteTextLayout> layout = Layout(text, format, max_width, max_height);
  DWRITE_TEXT_METRICS metrics{};
  if (!layout || FAILED(layout->GetMetrics(&metrics))) return {};
  return {metrics.width, metrics.height};
}

void OverlayCanvas::DrawTextLayout(std::wstring_view text, const ui::TextFormat& format, ui::Point origin,
                                   float max_width, float max_height, std::uint32_t colour) {
  if (ComPtr<IDWriteTextLayout> layout = Layout(text, format, max_width, max_height)) {
    target_->DrawTextLayout(ToD2D(origin), layout.Get(), Brush(colour));
  }
}

ui::TextFormat OverlayCanvas::StyleFormat(ui::TextStyle style) const {
  const ui::FontSpec& spec = ui::kTextStyleFonts[static_cast<int>(style) % ui::kTextStyleCount];
  ui::TextFormat format;
  format.family = spec.family;
  format.weight = spec.weight;
  format.size = spec.size * textScale_;
  format.paragraph = ui::ParagraphAlign::Centre;
  return format;
}

void OverlayCanvas::DrawStyledText(std::wstring_view text, const ui::Rect& rect, ui::TextStyle style, ui::TextAlign align,
                             std::uint32_t colour) {
  ui::TextFormat format = StyleFormat(style);
  format.align = align;
  PushClip(rect);
  DrawTextLayout(text, format, {rect.left, rect.top}, rect.Width(), rect.Height(), colour);
  PopClip();
}

float OverlayCanvas::MeasureText(std::wstring_view text, ui::TextStyle style) {
  ComPtr<IDWriteTextLayout> layout = Layout(text, StyleFormat(style), 100000, 100000);
  DWRITE_TEXT_METRICS metrics{};
  if (!layout || FAILED(layout->GetMetrics(&metrics))) return 0;
  return metrics.widthIncludingTrailingWhitespace;
}

void OverlayCanvas::CaretPositions(std::wstring_view text, ui::TextStyle style, std::vector<float>& positions) {
  positions.assign(text.size() + 1, 0.0f);
  ComPtr<IDWriteTextLayout> layout = Layout(text, StyleFormat(style), 100000, 100000);
  UINT32 count = 0;
  if (!layout) return;
  layout->GetClusterMetrics(nullptr, 0, &count);
  std::vector<DWRITE_CLUSTER_METRICS> clusters(count);
  if (count == 0 || FAILED(layout->GetClusterMetrics(clusters.data(), count, &count))) return;
  std::size_t unit = 0;
  float x = 0;
  for (const DWRITE_CLUSTER_METRICS& c : clusters) {
    for (UINT32 i = 0; i < c.length && unit < text.size(); ++i) positions[unit++] = x;
    x += c.width;
  }
  while (unit <= text.size()) positions[unit++] = x;
}

float OverlayCanvas::LineHeight(ui::TextStyle style) {
  ComPtr<IDWriteTextLayout> layout = Layout(L"Ag", StyleFormat(style), 100000, 100000);
  DWRITE_TEXT_METRICS metrics{};
  if (!layout || FAILED(layout->GetMetrics(&metrics))) return StyleFormat(style).size * 1.25f;
  return metrics.height;
}

}  // namespace tvx

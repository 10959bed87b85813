#include "ui/direct2d_canvas_win.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "foundation/error_text.h"

using Microsoft::WRL::ComPtr;

namespace tvx::ui {
namespace {

// Families tried, in order, when a requested one is not installed (Wine has only DejaVu).
const wchar_t* const kFallbackFamilies[] = {L"Segoe UI", L"Tahoma", L"Arial", L"DejaVu Sans", L"Liberation Sans"};
const wchar_t* const kMonoFallbackFamilies[] = {L"Consolas", L"Courier New", L"DejaVu Sans Mono",
                                                L"Liberation Mono"};

D2D1_COLOR_F ToColour(std::uint32_t argb, float opacity) {
  return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
          ((argb >> 24) & 0xFF) / 255.0f * opacity};
}
D2D1_RECT_F ToRect(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
D2D1_POINT_2F ToPoint(Point p) { return {p.x, p.y}; }
D2D1_MATRIX_3X2_F ToMatrix(const Transform& t) { return {t.m11, t.m12, t.m21, t.m22, t.dx, t.dy}; }
D2D1_CAP_STYLE ToCap(LineCap c) {
  return c == LineCap::Round ? D2D1_CAP_STYLE_ROUND : c == LineCap::Square ? D2D1_CAP_STYLE_SQUARE : D2D1_CAP_STYLE_FLAT;
}
D2D1_LINE_JOIN ToJoin(LineJoin j) {
  return j == LineJoin::Round ? D2D1_LINE_JOIN_ROUND : j == LineJoin::Bevel ? D2D1_LINE_JOIN_BEVEL : D2D1_LINE_JOIN_MITER;
}
DWRITE_TEXT_ALIGNMENT ToAlignment(TextAlign a) {
  return a == TextAlign::Centre ? DWRITE_TEXT_ALIGNMENT_CENTER
         : a == TextAlign::Right ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                 : DWRITE_TEXT_ALIGNMENT_LEADING;
}
DWRITE_PARAGRAPH_ALIGNMENT ToParagraph(ParagraphAlign a) {
  return a == ParagraphAlign::Centre ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
         : a == ParagraphAlign::Far  ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                     : DWRITE_PARAGRAPH_ALIGNMENT_NEAR;
}

}  // namespace

bool Direct2DCanvas::Init(std::wstring& error) {
  D2D1_FACTORY_OPTIONS options = {};
  HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1), &options,
                                 reinterpret_cast<void**>(factory_.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) {
    error = L"Direct2D unavailable: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                           reinterpret_cast<IUnknown**>(dwrite_.ReleaseAndGetAddressOf()));
  if (SUCCEEDED(hr)) hr = dwrite_->GetSystemFontCollection(&fonts_, FALSE);
  if (FAILED(hr)) {
    error = L"DirectWrite unavailable: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  if (!MakeStyleFormats()) {
    error = L"Could not create the interface fonts.";
    return false;
  }
  return true;
}

const std::wstring& Direct2DCanvas::ResolveFamily(const wchar_t* family) {
  auto found = resolved_families_.find(family);
  if (found != resolved_families_.end()) return found->second;
  auto installed = [&](const wchar_t* name) {
    UINT32 index = 0;
    BOOL exists = FALSE;
    return fonts_ && SUCCEEDED(fonts_->FindFamilyName(name, &index, &exists)) && exists;
  };
  std::wstring chosen = family;
  if (!installed(family)) {
    // A missing family draws nothing at all in some text engines: take one that exists.
    const bool mono = std::wstring_view(family).find(L"Mono") != std::wstring_view::npos ||
                      std::wstring_view(family) == L"Consolas" || std::wstring_view(family) == L"Courier New";
    chosen.clear();
    for (const wchar_t* candidate : mono ? std::span<const wchar_t* const>(kMonoFallbackFamilies)
                                         : std::span<const wchar_t* const>(kFallbackFamilies)) {
      if (installed(candidate)) {
        chosen = candidate;
        break;
      }
    }
    if (chosen.empty() && fonts_ && fonts_->GetFontFamilyCount() > 0) {
      ComPtr<IDWriteFontFamily> first;
      ComPtr<IDWriteLocalizedStrings> names;
      UINT32 length = 0;
      if (SUCCEEDED(fonts_->GetFontFamily(0, &first)) && SUCCEEDED(first->GetFamilyNames(&names)) &&
          SUCCEEDED(names->GetStringLength(0, &length))) {
        chosen.resize(length + 1);
        names->GetString(0, chosen.data(), length + 1);
        chosen.resize(length);
      }
    }
    if (chosen.empty()) chosen = family;
  }
  return resolved_families_.emplace(family, std::move(chosen)).first->second;
}

ComPtr<IDWriteTextFormat> Direct2DCanvas::MakeFormat(const wchar_t* family, int weight, float size) {
  ComPtr<IDWriteTextFormat> format;
  const std::wstring& name = ResolveFamily(family);
  if (FAILED(dwrite_->CreateTextFormat(name.c_str(), fonts_.Get(), static_cast<DWRITE_FONT_WEIGHT>(weight),
                                       DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                       std::max(1.0f, size), L"en-us", &format))) {
    return nullptr;
  }
  format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
  format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
  return format;
}

bool Direct2DCanvas::MakeStyleFormats() {
  for (int i = 0; i < kTextStyleCount; ++i) {
    const FontSpec& spec = kTextStyleFonts[i];
    style_formats_[i] = MakeFormat(spec.family, spec.weight, spec.size * text_scale_);
    if (!style_formats_[i]) return false;
  }
  return true;
}

void Direct2DCanvas::SetTextScale(float scale) {
  if (scale <= 0 || scale == text_scale_) return;
  sprites_.clear();
  const float previous = text_scale_;
  text_scale_ = scale;
  if (!MakeStyleFormats()) {
    text_scale_ = previous;
    MakeStyleFormats();
  }
}

void Direct2DCanvas::Attach(ID2D1DeviceContext* context, int generation) {
  if (generation != generation_ || !context) {
    brush_.Reset();
    bitmaps_.clear();  // they belonged to the old device
    sprites_.clear();
    sprite_brush_.Reset();
    sprite_context_.Reset();
  }
  context_ = context;
  if (context) generation_ = generation;
  transform_ = Transform::Identity();
  opacity_stack_.clear();
  opacity_ = 1;
  clip_depth_ = 0;
}

ID2D1SolidColorBrush* Direct2DCanvas::Brush(std::uint32_t colour) {
  const D2D1_COLOR_F c = ToColour(colour, opacity_);
  if (!brush_) context_->CreateSolidColorBrush(c, &brush_);
  else brush_->SetColor(c);
  return brush_.Get();
}

ID2D1StrokeStyle* Direct2DCanvas::Stroke(const StrokeStyle& style) {
  if (style == StrokeStyle{}) return nullptr;  // Direct2D's default
  const int key = static_cast<int>(style.cap) * 16 + static_cast<int>(style.join) * 1024 +
                  static_cast<int>(style.miter_limit * 8) * 65536;
  auto found = strokes_.find(key);
  if (found != strokes_.end()) return found->second.Get();
  D2D1_STROKE_STYLE_PROPERTIES props = {ToCap(style.cap), ToCap(style.cap), ToCap(style.cap), ToJoin(style.join),
                                        style.miter_limit, D2D1_DASH_STYLE_SOLID, 0};
  ComPtr<ID2D1StrokeStyle> stroke;
  factory_->CreateStrokeStyle(props, nullptr, 0, &stroke);
  return strokes_.emplace(key, stroke).first->second.Get();
}

void Direct2DCanvas::SetTransform(const Transform& transform) {
  transform_ = transform;
  if (context_) context_->SetTransform(ToMatrix(transform));
}

void Direct2DCanvas::PushClip(const Rect& rect) {
  if (!context_) return;
  // Clips are in target pixels whatever the transform; snapped outwards to whole pixels.
  const D2D1_RECT_F snapped = {std::floor(rect.left), std::floor(rect.top), std::ceil(rect.right),
                               std::ceil(rect.bottom)};
  context_->SetTransform(D2D1::Matrix3x2F::Identity());
  context_->PushAxisAlignedClip(snapped, D2D1_ANTIALIAS_MODE_ALIASED);
  context_->SetTransform(ToMatrix(transform_));
  ++clip_depth_;
}

void Direct2DCanvas::PopClip() {
  if (!context_ || clip_depth_ == 0) return;
  context_->PopAxisAlignedClip();
  --clip_depth_;
}

void Direct2DCanvas::PushOpacity(float opacity) {
  opacity_stack_.push_back(opacity_);
  opacity_ *= std::clamp(opacity, 0.0f, 1.0f);
}

void Direct2DCanvas::PopOpacity() {
  if (opacity_stack_.empty()) return;
  opacity_ = opacity_stack_.back();
  opacity_stack_.pop_back();
}

void Direct2DCanvas::Clear(std::uint32_t colour) {
  if (context_) context_->Clear(ToColour(colour, 1));
}

void Direct2DCanvas::FillRect(const Rect& rect, std::uint32_t colour) {
  if (context_) context_->FillRectangle(ToRect(rect), Brush(colour));
}

void Direct2DCanvas::FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) {
  if (context_) context_->FillRoundedRectangle({ToRect(rect), radius, radius}, Brush(colour));
}

void Direct2DCanvas::StrokeRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) {
  if (context_) context_->DrawRoundedRectangle({ToRect(rect), radius, radius}, Brush(colour), width);
}

void Direct2DCanvas::DrawLine(Point from, Point to, std::uint32_t colour, float width, const StrokeStyle& style) {
  if (context_) context_->DrawLine(ToPoint(from), ToPoint(to), Brush(colour), width, Stroke(style));
}

void Direct2DCanvas::FillEllipse(Point centre, float rx, float ry, std::uint32_t colour) {
  if (context_) context_->FillEllipse({ToPoint(centre), rx, ry}, Brush(colour));
}

void Direct2DCanvas::StrokeEllipse(Point centre, float rx, float ry, std::uint32_t colour, float width,
                                   const StrokeStyle& style) {
  if (context_) context_->DrawEllipse({ToPoint(centre), rx, ry}, Brush(colour), width, Stroke(style));
}

ComPtr<ID2D1PathGeometry> Direct2DCanvas::Geometry(const Path& path, bool filled) {
  ComPtr<ID2D1PathGeometry> geometry;
  ComPtr<ID2D1GeometrySink> sink;
  if (FAILED(factory_->CreatePathGeometry(&geometry)) || FAILED(geometry->Open(&sink))) return nullptr;
  sink->SetFillMode(path.fill_rule() == FillRule::Alternate ? D2D1_FILL_MODE_ALTERNATE : D2D1_FILL_MODE_WINDING);
  // Curves as lines: some Direct2D implementations draw cubic Béziers wrongly.
  const Path flat = path.Flattened();
  const D2D1_FIGURE_BEGIN begin = filled ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW;
  bool open = false;
  for (const Path::Segment& s : flat.segments()) {
    switch (s.verb) {
      case Path::Verb::Move:
        if (open) sink->EndFigure(D2D1_FIGURE_END_OPEN);
        sink->BeginFigure(ToPoint(s.p[0]), begin);
        open = true;
        break;
      case Path::Verb::Line:
        if (!open) {
          sink->BeginFigure(ToPoint(s.p[0]), begin);
          open = true;
        } else {
          sink->AddLine(ToPoint(s.p[0]));
        }
        break;
      case Path::Verb::Cubic:  // not left after flattening; kept for completeness
        if (open) sink->AddBezier({ToPoint(s.p[0]), ToPoint(s.p[1]), ToPoint(s.p[2])});
        break;
      case Path::Verb::Close:
        if (open) sink->EndFigure(D2D1_FIGURE_END_CLOSED);
        open = false;
        break;
    }
  }
  if (open) sink->EndFigure(D2D1_FIGURE_END_OPEN);
  if (FAILED(sink->Close())) return nullptr;
  return geometry;
}

void Direct2DCanvas::FillPath(const Path& path, std::uint32_t colour) {
  if (!context_ || path.Empty()) return;
  if (auto g = Geometry(path, true)) context_->FillGeometry(g.Get(), Brush(colour));
}

void Direct2DCanvas::StrokePath(const Path& path, std::uint32_t colour, float width, const StrokeStyle& style) {
  if (!context_ || path.Empty()) return;
  if (auto g = Geometry(path, false)) context_->DrawGeometry(g.Get(), Brush(colour), width, Stroke(style));
}

ComPtr<IDWriteTextLayout> Direct2DCanvas::Layout(std::wstring_view text, IDWriteTextFormat* format, float width,
                                                 float height) {
  ComPtr<IDWriteTextLayout> layout;
  if (!format) return nullptr;
  dwrite_->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), format, std::max(0.0f, width),
                            std::max(0.0f, height), &layout);
  return layout;
}

const Direct2DCanvas::TextSprite* Direct2DCanvas::Sprite(std::wstring_view text, TextStyle style,
                                                         std::uint32_t colour) {
  std::wstring key;
  key.reserve(text.size() + 3);
  key.push_back(static_cast<wchar_t>(style));
  key.push_back(static_cast<wchar_t>(colour >> 16));
  key.push_back(static_cast<wchar_t>(colour & 0xFFFF));
  key.append(text);
  auto found = sprites_.find(key);
  if (found != sprites_.end()) return &found->second;

  if (!sprite_context_) {
    ComPtr<ID2D1Device> device;
    context_->GetDevice(&device);
    if (!device || FAILED(device->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, &sprite_context_))) {
      return nullptr;
    }
    sprite_context_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    sprite_context_->SetUnitMode(D2D1_UNIT_MODE_PIXELS);
  }
  IDWriteTextFormat* format = style_formats_[static_cast<int>(style)].Get();
  auto layout = Layout(text, format, 4000, 100);
  DWRITE_TEXT_METRICS m = {};
  if (!layout || FAILED(layout->GetMetrics(&m))) return nullptr;
  layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
  // A margin for glyphs that reach past their advance (italic overhangs, antialiasing).
  const float margin = 2;
  const UINT32 w = static_cast<UINT32>(std::ceil(m.widthIncludingTrailingWhitespace + 2 * margin));
  const UINT32 h = static_cast<UINT32>(std::ceil(m.height + 2 * margin));
  if (w > 4096 || h > 1024) return nullptr;
  D2D1_BITMAP_PROPERTIES1 props = {};
  props.pixelFormat = {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
  props.dpiX = 96;
  props.dpiY = 96;
  props.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET;
  TextSprite sprite;
  if (FAILED(sprite_context_->CreateBitmap({w, h}, nullptr, 0, &props, &sprite.bitmap))) return nullptr;
  sprite_context_->SetTarget(sprite.bitmap.Get());
  sprite_context_->BeginDraw();
  sprite_context_->Clear({0, 0, 0, 0});
  if (!sprite_brush_) sprite_context_->CreateSolidColorBrush(ToColour(colour, 1), &sprite_brush_);
  else sprite_brush_->SetColor(ToColour(colour, 1));
  sprite_context_->DrawTextLayout({margin, margin}, layout.Get(), sprite_brush_.Get());
  const HRESULT hr = sprite_context_->EndDraw();
  sprite_context_->SetTarget(nullptr);
  if (FAILED(hr)) return nullptr;
  sprite.width = m.widthIncludingTrailingWhitespace;
  sprite.height = m.height;
  if (sprites_.size() >= 2048) sprites_.clear();  // texts change (counters, typed text): stay small
  return &sprites_.emplace(std::move(key), std::move(sprite)).first->second;
}

void Direct2DCanvas::DrawStyledText(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align,
                                    std::uint32_t colour) {
  if (!context_ || text.empty() || rect.Empty()) return;
  const std::uint32_t shown = (colour & 0x00FFFFFFu) |
                              (static_cast<std::uint32_t>(((colour >> 24) & 0xFF) * opacity_ + 0.5f) << 24);
  const bool translation_only = transform_.m11 == 1 && transform_.m12 == 0 && transform_.m21 == 0 && transform_.m22 == 1;
  if (const TextSprite* sprite = translation_only ? Sprite(text, style, shown) : nullptr) {
    const float margin = 2;
    float x = rect.left;
    if (align == TextAlign::Centre) x = rect.left + (rect.Width() - sprite->width) / 2;
    if (align == TextAlign::Right) x = rect.right - sprite->width;
    const float y = rect.top + (rect.Height() - sprite->height) / 2;
    // Whole device pixels, so the copy is exact.
    x = std::round(x + transform_.dx) - transform_.dx - margin;
    const float top = std::round(y + transform_.dy) - transform_.dy - margin;
    const D2D1_SIZE_U size = sprite->bitmap->GetPixelSize();
    const Rect full = Rect::FromSize(x, top, static_cast<float>(size.width), static_cast<float>(size.height));
    const Rect shownRect = full.Intersect(rect);
    if (shownRect.Empty()) return;
    const D2D1_RECT_F source = {shownRect.left - x, shownRect.top - top, shownRect.right - x, shownRect.bottom - top};
    context_->DrawBitmap(sprite->bitmap.Get(), ToRect(shownRect), 1.0f, D2D1_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                         &source);
    return;
  }
  IDWriteTextFormat* format = style_formats_[static_cast<int>(style)].Get();
  format->SetTextAlignment(ToAlignment(align));
  context_->DrawText(text.data(), static_cast<UINT32>(text.size()), format, ToRect(rect), Brush(colour),
                     D2D1_DRAW_TEXT_OPTIONS_CLIP);
  format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
}

float Direct2DCanvas::MeasureText(std::wstring_view text, TextStyle style) {
  auto layout = Layout(text, style_formats_[static_cast<int>(style)].Get(), 4000, 100);
  DWRITE_TEXT_METRICS metrics = {};
  if (!layout || FAILED(layout->GetMetrics(&metrics))) return 0;
  return metrics.widthIncludingTrailingWhitespace;
}

void Direct2DCanvas::CaretPositions(std::wstring_view text, TextStyle style, std::vector<float>& positions) {
  positions.assign(text.size() + 1, 0.0f);
  if (text.empty()) return;
  auto layout = Layout(text, style_formats_[static_cast<int>(style)].Get(), 100000, 100);
  if (!layout) return;
  // Cluster advances, not hit-testing: Wine's text layout has no hit-testing at all.
  UINT32 count = 0;
  layout->GetClusterMetrics(nullptr, 0, &count);
  std::vector<DWRITE_CLUSTER_METRICS> clusters(count);
  if (count == 0 || FAILED(layout->GetClusterMetrics(clusters.data(), count, &count))) return;
  std::size_t index = 0;
  float x = 0;
  for (const DWRITE_CLUSTER_METRICS& c : clusters) {
    for (UINT16 k = 0; k < c.length && index < text.size(); ++k) positions[index++] = x;
    x += c.width;
  }
  for (; index <= text.size(); ++index) positions[index] = x;
}

float Direct2DCanvas::LineHeight(TextStyle style) {
  auto layout = Layout(L"Ag", style_formats_[static_cast<int>(style)].Get(), 4000, 100);
  DWRITE_LINE_METRICS line = {};
  UINT32 count = 0;
  if (!layout || FAILED(layout->GetLineMetrics(&line, 1, &count)) || count == 0) {
    return kTextStyleFonts[static_cast<int>(style)].size * text_scale_ * 1.33f;
  }
  return line.height;
}

IDWriteTextFormat* Direct2DCanvas::FormatFor(const TextFormat& f) {
  std::wstring key = std::wstring(f.family ? f.family : L"Segoe UI") + L"|" + std::to_wstring(f.weight) + L"|" +
                     std::to_wstring(static_cast<int>(f.size * 16));
  auto found = free_formats_.find(key);
  if (found == free_formats_.end()) {
    if (free_formats_.size() > 64) free_formats_.clear();  // annotation sizes vary; keep the cache small
    found = free_formats_.emplace(key, MakeFormat(f.family ? f.family : L"Segoe UI", f.weight, f.size)).first;
  }
  IDWriteTextFormat* format = found->second.Get();
  if (format) {
    format->SetWordWrapping(f.wrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
    format->SetTextAlignment(ToAlignment(f.align));
    format->SetParagraphAlignment(ToParagraph(f.paragraph));
  }
  return format;
}

Size Direct2DCanvas::MeasureTextLayout(std::wstring_view text, const TextFormat& format, float max_width,
                                       float max_height) {
  auto layout = Layout(text, FormatFor(format), max_width, max_height);
  DWRITE_TEXT_METRICS m = {};
  if (!layout || FAILED(layout->GetMetrics(&m))) return {};
  return {m.widthIncludingTrailingWhitespace, m.height};
}

void Direct2DCanvas::DrawTextLayout(std::wstring_view text, const TextFormat& format, Point origin, float max_width,
                                    float max_height, std::uint32_t colour) {
  if (!context_ || text.empty()) return;
  auto layout = Layout(text, FormatFor(format), max_width, max_height);
  if (layout) context_->DrawTextLayout(ToPoint(origin), layout.Get(), Brush(colour));
}

BitmapHandle Direct2DCanvas::CreateBitmap(int width, int height, const void* pixels, int stride) {
  if (!context_ || width <= 0 || height <= 0) return 0;
  D2D1_BITMAP_PROPERTIES1 props = {};
  props.pixelFormat = {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
  props.dpiX = 96;
  props.dpiY = 96;
  ComPtr<ID2D1Bitmap1> bitmap;
  if (FAILED(context_->CreateBitmap({static_cast<UINT32>(width), static_cast<UINT32>(height)}, pixels,
                                    static_cast<UINT32>(stride), &props, &bitmap))) {
    return 0;
  }
  const BitmapHandle handle = next_bitmap_++;
  if (next_bitmap_ == 0) next_bitmap_ = 1;
  bitmaps_[handle] = bitmap;
  return handle;
}

bool Direct2DCanvas::UpdateBitmap(BitmapHandle handle, int x, int y, int width, int height, const void* pixels,
                                  int stride) {
  auto found = bitmaps_.find(handle);
  if (found == bitmaps_.end() || width <= 0 || height <= 0 || x < 0 || y < 0) return false;
  const D2D1_SIZE_U size = found->second->GetPixelSize();
  if (static_cast<UINT32>(x + width) > size.width || static_cast<UINT32>(y + height) > size.height) return false;
  const D2D1_RECT_U area = {static_cast<UINT32>(x), static_cast<UINT32>(y), static_cast<UINT32>(x + width),
                            static_cast<UINT32>(y + height)};
  return SUCCEEDED(found->second->CopyFromMemory(&area, pixels, static_cast<UINT32>(stride)));
}

void Direct2DCanvas::ReleaseBitmap(BitmapHandle handle) { bitmaps_.erase(handle); }

bool Direct2DCanvas::HasBitmap(BitmapHandle handle) const { return bitmaps_.count(handle) != 0; }

void Direct2DCanvas::DrawBitmap(BitmapHandle handle, const Rect& destination, const Rect& source, float opacity,
                                Interpolation interpolation) {
  auto found = bitmaps_.find(handle);
  if (!context_ || found == bitmaps_.end()) return;
  const D2D1_INTERPOLATION_MODE mode = interpolation == Interpolation::HighQualityCubic
                                           ? D2D1_INTERPOLATION_MODE_HIGH_QUALITY_CUBIC
                                       : interpolation == Interpolation::Linear
                                           ? D2D1_INTERPOLATION_MODE_LINEAR
                                           : D2D1_INTERPOLATION_MODE_NEAREST_NEIGHBOR;
  const D2D1_RECT_F src = ToRect(source);
  context_->DrawBitmap(found->second.Get(), ToRect(destination), std::clamp(opacity, 0.0f, 1.0f) * opacity_, mode,
                       source.Empty() ? nullptr : &src);
}

}  // namespace tvx::ui

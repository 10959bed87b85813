#include "ui/surface.h"

#include <algorithm>
#include <cmath>

namespace tvx::ui {

Surface::Surface(SurfacePlatform* platform) : platform_(platform), theme_(ThemeFromAccent(kDefaultAccent)) {}

// --- Frame ---------------------------------------------------------------------------------------

void Surface::BeginFrame(Canvas& canvas, const InputState& input, float width, float height, bool clear_target) {
  canvas_ = &canvas;
  input_ = input;
  scale_ = input.scale > 0 ? input.scale : 1;
  width_ = width;
  height_ = height;
  hot_id_ = 0;
  submitted_id_ = 0;
  cursor_ = CursorShape::Arrow;
  clips_.clear();
  deferred_.clear();
  drawing_popup_ = false;
  in_modal_ = false;
  frame_had_events_ = input.pressed || input.released || input.right_pressed || input.double_click ||
                      input.wheel != 0 || !input.typed.empty() || !input.key_events.empty();
  trace_.BeginFrame();
  canvas.SetTextScale(scale_);
  canvas.SetTransform(Transform::Identity());
  if (clear_target) canvas.Clear(theme_[ThemeColour::Background]);
}

void Surface::EndFrame() {
  if (canvas_ == nullptr) return;
  while (!clips_.empty()) PopClip();
  // Deferred draws may defer more (a popup opening another); run until the list is done.
  for (std::size_t i = 0; i < deferred_.size(); ++i) {
    std::function<void()> draw = std::move(deferred_[i]);
    draw();
  }
  deferred_.clear();
  while (!clips_.empty()) PopClip();
  if (input_.pressed) {
    // A press no widget took landed on empty space: it closes popups and ends text editing.
    capture_id_ = 0;
    focus_id_ = 0;
  }
  if (focus_id_ == 0) {
    editing_id_ = 0;
    drag_selecting_ = false;
  }
  if (input_.released) {
    active_id_ = 0;
    drag_selecting_ = false;
  }
  needs_another_frame_ = frame_had_events_ || hot_id_ != previous_hot_id_;
  previous_hot_id_ = hot_id_;
  canvas_->SetTransform(Transform::Identity());
  canvas_ = nullptr;
  modal_open_ = false;
}

std::int64_t Surface::NextAnimationMs() const {
  if (focus_id_ == 0 || editing_id_ != focus_id_ || drag_selecting_) return -1;
  const std::int64_t elapsed = std::max<std::int64_t>(input_.now_ms - blink_start_ms_, 0);
  return blink_start_ms_ + (elapsed / kCaretBlinkMs + 1) * kCaretBlinkMs;
}

bool Surface::CaretVisible() const {
  if (drag_selecting_) return true;
  const std::int64_t elapsed = std::max<std::int64_t>(input_.now_ms - blink_start_ms_, 0);
  return (elapsed / kCaretBlinkMs) % 2 == 0;
}

// --- Drawing primitives --------------------------------------------------------------------------

void Surface::FillRect(const Rect& rect, std::uint32_t colour) { canvas_->FillRect(rect, colour); }

namespace {

float LimitRadius(const Rect& rect, float radius) {
  return std::clamp(radius, 0.0f, std::max(std::min(rect.Width(), rect.Height()) * 0.5f, 0.0f));
}

}  // namespace

void Surface::FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour) {
  canvas_->FillRoundedRect(rect, LimitRadius(rect, radius), colour);
}

void Surface::DrawRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width) {
  // The stroke is centred on its path: inset by half its width it stays inside the rectangle.
  const Rect inner = rect.Inset(width * 0.5f, width * 0.5f);
  canvas_->StrokeRoundedRect(inner, LimitRadius(inner, radius), colour, width);
}

void Surface::DrawLine(Point from, Point to, std::uint32_t colour, float width) {
  canvas_->DrawLine(from, to, colour, width);
}

void Surface::FillCircle(Point centre, float radius, std::uint32_t colour) {
  canvas_->FillEllipse(centre, radius, radius, colour);
}

void Surface::DrawCircle(Point centre, float radius, std::uint32_t colour, float width) {
  canvas_->StrokeEllipse(centre, radius, radius, colour, width);
}

std::uint32_t Surface::StyleColour(TextStyle style) const {
  switch (style) {
    case TextStyle::BodySecondary:
    case TextStyle::SmallSecondary:
      return theme_[ThemeColour::TextSecondary];
    case TextStyle::SmallDim:
      return theme_[ThemeColour::TextDim];
    default:
      return theme_[ThemeColour::Text];
  }
}

void Surface::Text(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align, std::uint32_t colour) {
  if (text.empty()) return;
  canvas_->DrawStyledText(text, rect, style, align, colour != 0 ? colour : StyleColour(style));
}

float Surface::MeasureText(std::wstring_view text, TextStyle style) {
  if (text.empty()) return 0;
  return canvas_->MeasureText(text, style);
}

void Surface::PushClip(const Rect& rect) {
  Rect snapped{std::floor(rect.left), std::floor(rect.top), std::ceil(rect.right), std::ceil(rect.bottom)};
  if (!clips_.empty()) snapped = clips_.back().Intersect(snapped);
  clips_.push_back(snapped);
  canvas_->PushClip(snapped);
}

void Surface::PopClip() {
  if (clips_.empty()) return;
  clips_.pop_back();
  canvas_->PopClip();
}

// --- Interaction core ----------------------------------------------------------------------------

bool Surface::MouseInWindow(const Rect& rect) const {
  if (!input_.inside || input_.mouse_x < 0 || input_.mouse_y < 0) return false;
  return rect.Contains({input_.mouse_x, input_.mouse_y});
}

bool Surface::MouseIn(const Rect& rect) const {
  if (!MouseInWindow(rect)) return false;
  return clips_.empty() || clips_.back().Contains({input_.mouse_x, input_.mouse_y});
}

bool Surface::IsBlocked(WidgetId id) const {
  if (drawing_popup_) return false;  // widgets inside the open popup
  if (capture_id_ != 0 && (id == 0 || capture_id_ != id)) return true;
  if (modal_open_ && !in_modal_) return true;
  return false;
}

bool Surface::ButtonBehaviour(WidgetId id, const Rect& rect, bool enabled, bool* hovered) {
  if (hovered != nullptr) *hovered = false;
  if (!enabled) return false;
  const bool over = !IsBlocked(id) && MouseIn(rect);
  if (over) {
    hot_id_ = id;
    if (hovered != nullptr) *hovered = true;
    if (input_.pressed) {
      active_id_ = id;
      input_.pressed = false;
    }
  }
  bool clicked = false;
  if (active_id_ == id && input_.released) {
    clicked = over;
    active_id_ = 0;
  }
  return clicked;
}

float Surface::TakeWheel(const Rect& rect) {
  if (input_.wheel == 0 || !MouseOver(rect)) return 0;
  const float notches = input_.wheel;
  input_.wheel = 0;
  return notches;
}

void Surface::SetFocus(WidgetId id) {
  if (id == focus_id_) return;
  focus_id_ = id;
  editing_id_ = 0;  // the field sets its caret up when it next draws
  drag_selecting_ = false;
}

void Surface::Defer(std::function<void()> draw) { deferred_.push_back(std::move(draw)); }

// --- Other operations ----------------------------------------------------------------------------

void Surface::SetIcon(int width, int height, std::vector<std::uint32_t> pixels) {
  if (width < 1 || height < 1 || pixels.size() < static_cast<std::size_t>(width) * height) {
    width = height = 0;
    pixels.clear();
  }
  icon_width_ = width;
  icon_height_ = height;
  icon_pixels_ = std::move(pixels);
  icon_changed_ = true;
}

BitmapHandle Surface::EnsureBitmap(CachedBitmap& cached, int width, int height, const std::uint32_t* pixels,
                                   bool content_changed) {
  if (cached.canvas != canvas_ || !canvas_->HasBitmap(cached.handle)) {
    cached.canvas = canvas_;
    cached.handle = canvas_->CreateBitmap(width, height, pixels, width * 4);
  } else if (content_changed) {
    canvas_->UpdateBitmap(cached.handle, 0, 0, width, height, pixels, width * 4);
  }
  return cached.handle;
}

void Surface::DrawIcon(const Rect& rect) {
  if (icon_width_ < 1 || canvas_ == nullptr) return;
  if (icon_changed_ && icon_cache_.canvas == canvas_ && canvas_->HasBitmap(icon_cache_.handle)) {
    canvas_->ReleaseBitmap(icon_cache_.handle);  // the new icon may have another size
  }
  icon_changed_ = false;
  const BitmapHandle bitmap = EnsureBitmap(icon_cache_, icon_width_, icon_height_, icon_pixels_.data(), false);
  if (bitmap != 0) canvas_->DrawBitmap(bitmap, rect, {}, 1.0f, Interpolation::HighQualityCubic);
}

void Surface::SetClipboardText(std::wstring_view text) {
  if (platform_ != nullptr) platform_->SetClipboardText(text);
}

}  // namespace tvx::ui

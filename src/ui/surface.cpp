#include "ui/surface.h"

namespace tvx::ui {

Surface::Surface(SurfacePlatform* platform) : platform_(platform), theme_(ThemeFromAccent(kDefaultAccent)) {}

void Surface::BeginFrame(Canvas& canvas, const InputState& input, float width, float height) {
  canvas_ = &canvas;
  input_ = input;
  scale_ = input.scale;
  width_ = width;
  height_ = height;
  canvas.SetTransform(Transform::Identity());
  canvas.Clear(theme_[ThemeColour::Background]);
}
void Surface::EndFrame() { canvas_ = nullptr; }
std::int64_t Surface::NextAnimationMs() const { return -1; }
void Surface::FillRect(const Rect&, std::uint32_t) {}
void Surface::FillRoundedRect(const Rect&, float, std::uint32_t) {}
void Surface::DrawRoundedRect(const Rect&, float, std::uint32_t, float) {}
void Surface::DrawLine(Point, Point, std::uint32_t, float) {}
void Surface::FillCircle(Point, float, std::uint32_t) {}
void Surface::DrawCircle(Point, float, std::uint32_t, float) {}
void Surface::Text(std::wstring_view, const Rect&, TextStyle, TextAlign, std::uint32_t) {}
float Surface::MeasureText(std::wstring_view, TextStyle) { return 0; }
std::uint32_t Surface::StyleColour(TextStyle) const { return 0; }
void Surface::PushClip(const Rect&) {}
void Surface::PopClip() {}
bool Surface::MouseIn(const Rect&) const { return false; }
bool Surface::IsBlocked(WidgetId) const { return false; }
bool Surface::ButtonBehaviour(WidgetId, const Rect&, bool, bool*) { return false; }
float Surface::TakeWheel(const Rect&) { return 0; }
void Surface::SetFocus(WidgetId id) { focus_id_ = id; }
void Surface::Defer(std::function<void()> draw) { deferred_.push_back(std::move(draw)); }
void Surface::Card(const Rect&, std::wstring_view) {}
bool Surface::Button(WidgetId, const Rect&, std::wstring_view, bool, bool, std::uint32_t) { return false; }
bool Surface::TabButton(WidgetId, const Rect&, std::wstring_view, bool) { return false; }
bool Surface::Toggle(WidgetId, const Rect&, std::wstring_view, bool&, bool) { return false; }
bool Surface::Slider(WidgetId, const Rect&, int&, int, int) { return false; }
bool Surface::Dropdown(WidgetId, const Rect&, std::span<const std::wstring>, int&, bool) { return false; }
bool Surface::TextField(WidgetId, const Rect&, std::wstring&, std::wstring_view, bool, bool, std::size_t) {
  return false;
}
bool Surface::ColorPicker(WidgetId, const Rect&, std::uint32_t&) { return false; }
void Surface::SetIcon(int width, int height, std::vector<std::uint32_t> pixels) {
  icon_width_ = width;
  icon_height_ = height;
  icon_pixels_ = std::move(pixels);
}
void Surface::DrawIcon(const Rect&) {}
void Surface::SetClipboardText(std::wstring_view text) {
  if (platform_ != nullptr) platform_->SetClipboardText(text);
}
Rect Surface::DropdownPopupRect(const Rect&, std::size_t) const { return {}; }
Rect Surface::ColorPickerPopupRect(const Rect&) const { return {}; }

}  // namespace tvx::ui

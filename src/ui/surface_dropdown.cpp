// The dropdown: a box that opens a list popup above or below it.
#include <algorithm>
#include <string>
#include <utility>

#include "ui/surface.h"

namespace tvx::ui {

namespace {

constexpr float kRowHeight = 28;
constexpr float kMaxPopupHeight = 280;

}  // namespace

Rect Surface::DropdownPopupRect(const Rect& box, std::size_t item_count) const {
  const float s = scale_;
  const float height = std::min(static_cast<float>(item_count) * kRowHeight * s, kMaxPopupHeight * s);
  float top = box.bottom + 4 * s;
  if (top + height > height_ - 8 * s) {
    // Too close to the bottom edge: open above the box, but never above y = 8.
    top = std::max(box.top - 4 * s - height, 8 * s);
  }
  return {box.left, top, box.right, top + height};
}

void Surface::DrawPopupFrame(const Rect& rect, float shadow_dx, float shadow_dy) {
  const float radius = theme_.card_radius * scale_;
  FillRoundedRect(rect.Offset(shadow_dx, shadow_dy), radius, theme_[ThemeColour::Shadow]);
  FillRoundedRect(rect, radius, theme_[ThemeColour::ControlHover]);
  DrawRoundedRect(rect, radius, theme_[ThemeColour::BorderHover], 1);
}

bool Surface::Dropdown(WidgetId id, const Rect& rect, std::span<const std::wstring> items, int& selected,
                       bool enabled) {
  const float s = scale_;
  const int count = static_cast<int>(std::min<std::size_t>(items.size(), 1u << 30));
  selected = count == 0 ? 0 : std::clamp(selected, 0, count - 1);
  if (!enabled && capture_id_ == id) capture_id_ = 0;

  bool hovered = false;
  if (ButtonBehaviour(id, rect, enabled, &hovered)) {
    // An empty list has nothing to show: its box never opens.
    capture_id_ = capture_id_ == id || count == 0 ? 0 : id;
  }
  const bool open = capture_id_ == id && count > 0;

  bool changed = false;
  Rect popup;
  if (open) {
    popup = DropdownPopupRect(rect, static_cast<std::size_t>(count));
    if (MouseInWindow(popup)) {
      hot_id_ = id;
      if (input_.pressed) {
        ConsumePress();
        const int row = static_cast<int>((input_.mouse_y - popup.top) / (kRowHeight * s));
        if (row >= 0 && row < count) {
          capture_id_ = 0;
          if (row != selected) {
            selected = row;
            changed = true;
          }
        }
      }
    }
  }

  const float radius = (theme_.control_radius + 2) * s;
  const std::uint32_t fill = !enabled               ? theme_[ThemeColour::Inset]
                             : hovered || open ? theme_[ThemeColour::ControlHover]
                                               : theme_[ThemeColour::Control];
  FillRoundedRect(rect, radius, fill);
  DrawRoundedRect(rect, radius, open ? theme_[ThemeColour::Accent] : theme_[ThemeColour::Border], 1);
  const std::wstring_view shown = count > 0 ? std::wstring_view(items[selected]) : std::wstring_view();
  Text(shown, {rect.left + 11 * s, rect.top, rect.right - 26 * s, rect.bottom}, TextStyle::Body, TextAlign::Left,
       enabled ? theme_[ThemeColour::Text] : theme_[ThemeColour::TextDim]);
  const float mid = (rect.top + rect.bottom) * 0.5f;
  const std::uint32_t chevron = enabled ? theme_[ThemeColour::TextSecondary] : theme_[ThemeColour::TextDim];
  DrawLine({rect.right - 19 * s, mid - 2 * s}, {rect.right - 15 * s, mid + 2.4f * s}, chevron, 1.6f * s);
  DrawLine({rect.right - 15 * s, mid + 2.4f * s}, {rect.right - 11 * s, mid - 2 * s}, chevron, 1.6f * s);
  Trace(id, "dropdown", {}, shown, enabled, rect);

  if (capture_id_ == id && count > 0) {
    popup = DropdownPopupRect(rect, static_cast<std::size_t>(count));
    if (trace_.enabled()) {
      for (int row = 0; row < count; ++row) {
        const float top = popup.top + row * kRowHeight * s;
        if (top >= popup.bottom) break;
        Trace(id, "dropdown-item", items[row], row == selected ? L"selected" : L"", true,
              {popup.left, top, popup.right, std::min(top + kRowHeight * s, popup.bottom)});
      }
    }
    Defer([this, id, popup, list = std::vector<std::wstring>(items.begin(), items.end()), selected]() mutable {
      DrawDropdownPopup(id, popup, std::move(list), selected);
    });
  }
  return changed;
}

void Surface::DrawDropdownPopup(WidgetId, Rect popup, std::vector<std::wstring> items, int selected) {
  const float s = scale_;
  DrawPopupFrame(popup, 2 * s, 3 * s);
  PushClip(popup);
  for (std::size_t row = 0; row < items.size(); ++row) {
    const float top = popup.top + static_cast<float>(row) * kRowHeight * s;
    if (top >= popup.bottom) break;
    const Rect row_rect{popup.left + 3 * s, top, popup.right - 3 * s, top + kRowHeight * s};
    if (MouseInWindow({popup.left, top, popup.right, top + kRowHeight * s})) {
      FillRoundedRect(row_rect, theme_.control_radius * s, theme_[ThemeColour::Control]);
    }
    Text(items[row], {row_rect.left + 12 * s, top, row_rect.right - 11 * s, top + kRowHeight * s}, TextStyle::Body,
         TextAlign::Left,
         static_cast<int>(row) == selected ? theme_[ThemeColour::Accent] : theme_[ThemeColour::Text]);
  }
  PopClip();
}

}  // namespace tvx::ui

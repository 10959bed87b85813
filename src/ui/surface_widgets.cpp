// The simple widgets: card, buttons, toggle and slider.
#include <algorithm>
#include <cmath>
#include <string>

#include "ui/surface.h"

namespace tvx::ui {

void Surface::Card(const Rect& rect, std::wstring_view title) {
  const float s = scale_;
  FillRoundedRect(rect, theme_.card_radius * s, theme_[ThemeColour::Control]);
  DrawRoundedRect(rect, theme_.card_radius * s, theme_[ThemeColour::Border], 1);
  if (!title.empty()) {
    Text(title, {rect.left + 14 * s, rect.top + 6 * s, rect.right - 14 * s, rect.top + 30 * s}, TextStyle::Small,
         TextAlign::Left, theme_[ThemeColour::TextSecondary]);
  }
}

bool Surface::Button(WidgetId id, const Rect& rect, std::wstring_view label, bool primary, bool enabled,
                     std::uint32_t colour_override) {
  const float s = scale_;
  bool hovered = false;
  const bool clicked = ButtonBehaviour(id, rect, enabled, &hovered);
  const bool held = enabled && active_id_ == id && input_.button_down;
  const float radius = (theme_.control_radius + 2) * s;
  std::uint32_t label_colour;
  if (primary) {
    std::uint32_t fill = colour_override != 0 ? Opaque(colour_override) : theme_[ThemeColour::Accent];
    if (!enabled) {
      fill = MixColour(fill, -0.55f);
    } else if (held) {
      fill = MixColour(fill, -0.15f);
    } else if (hovered) {
      fill = MixColour(fill, 0.15f);
    }
    FillRoundedRect(rect, radius, fill);
    label_colour = TextOnFill(fill);
  } else {
    const std::uint32_t fill = !enabled             ? theme_[ThemeColour::Inset]
                               : hovered && !held ? theme_[ThemeColour::ControlHover]
                                                  : theme_[ThemeColour::Control];
    FillRoundedRect(rect, radius, fill);
    DrawRoundedRect(rect, radius, hovered ? theme_[ThemeColour::BorderHover] : theme_[ThemeColour::Border], 1);
    label_colour = enabled ? theme_[ThemeColour::Text] : theme_[ThemeColour::TextDim];
  }
  Text(label, rect.Inset(10 * s, 0), TextStyle::Body, TextAlign::Centre, label_colour);
  Trace(id, "button", label, {}, enabled, rect);
  return clicked;
}

bool Surface::TabButton(WidgetId id, const Rect& rect, std::wstring_view label, bool selected) {
  const float s = scale_;
  bool hovered = false;
  const bool clicked = ButtonBehaviour(id, rect, true, &hovered);
  const float radius = (theme_.control_radius + 2) * s;
  std::uint32_t label_colour;
  if (selected) {
    const std::uint32_t fill = theme_[ThemeColour::Accent];
    FillRoundedRect(rect, radius, fill);
    label_colour = TextOnFill(fill);
  } else {
    FillRoundedRect(rect, radius, hovered ? theme_[ThemeColour::ControlHover] : theme_[ThemeColour::Control]);
    DrawRoundedRect(rect, radius, theme_[ThemeColour::Border], 1);
    label_colour = theme_[ThemeColour::Text];
  }
  Text(label, rect.Inset(8 * s, 0), TextStyle::Body, TextAlign::Centre, label_colour);
  Trace(id, "tab", label, selected ? L"selected" : L"", true, rect);
  return clicked;
}

bool Surface::Toggle(WidgetId id, const Rect& rect, std::wstring_view label, bool& value, bool enabled) {
  const float s = scale_;
  bool hovered = false;
  const bool flipped = ButtonBehaviour(id, rect, enabled, &hovered);
  if (flipped) value = !value;

  const float track_w = 34 * s;
  const float track_h = 19 * s;
  const float mid = (rect.top + rect.bottom) * 0.5f;
  const Rect track{rect.left, mid - track_h * 0.5f, rect.left + track_w, mid + track_h * 0.5f};
  const std::uint32_t accent = theme_[ThemeColour::Accent];
  if (value) {
    FillRoundedRect(track, track_h * 0.5f, enabled ? accent : MixColour(accent, -0.68f));
  } else {
    FillRoundedRect(track, track_h * 0.5f,
                    hovered && enabled ? theme_[ThemeColour::ControlHover] : theme_[ThemeColour::Inset]);
    DrawRoundedRect(track, track_h * 0.5f, theme_[ThemeColour::Border], 1);
  }
  const float knob_r = (19.0f / 2 - 3) * s;
  const float knob_x = value ? track.right - 3 * s - knob_r : track.left + 3 * s + knob_r;
  std::uint32_t knob;
  if (!enabled) {
    knob = theme_[ThemeColour::TextDim];
  } else if (!value) {
    knob = theme_[ThemeColour::TextSecondary];
  } else {
    knob = Luminance(accent) > 0.6f ? 0xFF10141Au : 0xFFFFFFFFu;
  }
  FillCircle({knob_x, mid}, knob_r, knob);
  Text(label, {track.right + 10 * s, rect.top, rect.right, rect.bottom}, TextStyle::Body, TextAlign::Left,
       enabled ? theme_[ThemeColour::Text] : theme_[ThemeColour::TextDim]);
  Trace(id, "toggle", label, value ? L"on" : L"off", enabled, rect);
  return flipped;
}

bool Surface::Slider(WidgetId id, const Rect& rect, int& value, int min, int max) {
  if (!(min < max)) return false;
  const float s = scale_;
  value = std::clamp(value, min, max);
  const float track_left = rect.left + 8 * s;
  const float track_right = rect.right - 8 * s;
  const float track_width = std::max(track_right - track_left, 1.0f);

  bool hovered = false;
  ButtonBehaviour(id, rect, true, &hovered);
  const bool dragging = active_id_ == id && input_.button_down;
  bool changed = false;
  if (dragging) {
    const double t = std::clamp((input_.mouse_x - track_left) / track_width, 0.0f, 1.0f);
    // std::lround rounds halves away from zero, which is the rule for negative ranges too.
    const double exact = min + (static_cast<double>(max) - min) * t;
    const int next = std::clamp(static_cast<int>(std::lround(exact)), min, max);
    changed = next != value;
    value = next;
  }

  const float mid = (rect.top + rect.bottom) * 0.5f;
  const float track_h = 5 * s;
  const Rect track{track_left, mid - track_h * 0.5f, track_right, mid + track_h * 0.5f};
  const float fraction = static_cast<float>((static_cast<double>(value) - min) / (static_cast<double>(max) - min));
  const float knob_x = track_left + fraction * track_width;
  FillRoundedRect(track, track_h * 0.5f, theme_[ThemeColour::Inset]);
  if (knob_x > track_left) {
    FillRoundedRect({track_left, track.top, knob_x, track.bottom}, track_h * 0.5f, theme_[ThemeColour::Accent]);
  }
  FillCircle({knob_x, mid}, 8 * s, hovered || dragging ? 0xFFFFFFFFu : 0xFFE6EAF0u);
  DrawCircle({knob_x, mid}, 8 * s, theme_[ThemeColour::Accent], 2 * s);
  if (trace_.enabled()) Trace(id, "slider", {}, std::to_wstring(value), true, rect);
  return changed;
}

}  // namespace tvx::ui

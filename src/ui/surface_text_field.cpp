// The single-line text field: focus, caret and selection by mouse, the editing keys and the
// clipboard, horizontal scrolling and the blinking caret.
#include <algorithm>
#include <cmath>

#include "ui/surface.h"

namespace tvx::ui {

std::size_t Surface::NearestCaret(float x) const {
  // caret_positions_ is sorted: find the boundary whose x is nearest.
  const auto& p = caret_positions_;
  const auto it = std::lower_bound(p.begin(), p.end(), x);
  if (it == p.begin()) return 0;
  if (it == p.end()) return p.size() - 1;
  const std::size_t after = static_cast<std::size_t>(it - p.begin());
  return (x - p[after - 1] <= p[after] - x) ? after - 1 : after;
}

bool Surface::HandleFieldKeys(bool digits_only, std::size_t max_length) {
  bool changed = false;
  for (const KeyEvent& key : input_.key_events) {
    const bool ctrl = key.ctrl;
    const bool shift = key.shift;
    bool edited = false;
    bool moved = true;
    switch (key.key) {
      case keys::kBackspace:
        edited = editor_.Backspace(ctrl);
        break;
      case keys::kDelete:
        edited = editor_.Delete(ctrl);
        break;
      case keys::kLeft:
        editor_.MoveLeft(ctrl, shift);
        break;
      case keys::kRight:
        editor_.MoveRight(ctrl, shift);
        break;
      case keys::kHome:
        editor_.MoveHome(shift);
        break;
      case keys::kEnd:
        editor_.MoveEnd(shift);
        break;
      case keys::kTab:
      case keys::kEnter:
      case keys::kEscape:
        if (key.key == keys::kEnter) submitted_id_ = focus_id_;
        focus_id_ = 0;
        editing_id_ = 0;
        drag_selecting_ = false;
        return changed;  // what follows belongs to whoever has the keyboard next
      default:
        moved = false;
        if (!ctrl) break;
        if (key.key == keys::kA) {
          editor_.SelectAll();
          moved = true;
        } else if (key.key == keys::kC || key.key == keys::kX) {
          if (editor_.HasSelection()) {
            SetClipboardText(editor_.SelectedText());
            if (key.key == keys::kX) edited = editor_.DeleteSelection();
          }
        } else if (key.key == keys::kV) {
          std::wstring pasted;
          if (platform_ != nullptr && platform_->GetClipboardText(pasted)) {
            edited = editor_.Insert(pasted, digits_only, max_length);
          }
        }
        break;
    }
    if (edited || moved) RestartBlink();
    changed = changed || edited;
  }
  // Characters typed with ctrl held belong to shortcuts, not text, unless alt is held too: ctrl +
  // alt is AltGr, which types '@', '\\' and more on many keyboard layouts.
  if ((!input_.ctrl || input_.alt) && !input_.typed.empty()) {
    std::wstring typed;
    for (wchar_t c : input_.typed) {
      if (static_cast<std::uint32_t>(c) >= 0x20 && c != 0x7F) typed.push_back(c);
    }
    if (!typed.empty() && editor_.Insert(typed, digits_only, max_length)) {
      changed = true;
      RestartBlink();
    }
  }
  return changed;
}

bool Surface::TextField(WidgetId id, const Rect& rect, std::wstring& text, std::wstring_view placeholder, bool enabled,
                        bool digits_only, std::size_t max_length) {
  const float s = scale_;
  if (!enabled && focus_id_ == id) SetFocus(0);
  const bool hovered = enabled && !IsBlocked(id) && MouseIn(rect);
  if (hovered) {
    hot_id_ = id;
    cursor_ = CursorShape::IBeam;
  }
  const float area_left = rect.left + 9 * s;
  const float area_right = rect.right - 8 * s;
  const float area_width = std::max(area_right - area_left, 1.0f);

  if (focus_id_ == id && editing_id_ != id) {
    // Focus given by the caller: caret at the end, nothing selected.
    editing_id_ = id;
    editor_.Attach(&text);
    editor_.SetCaret(text.size(), false);
    scroll_ = 0;
    drag_selecting_ = false;
    RestartBlink();
  }
  const bool was_editing = editing_id_ == id;
  if (was_editing) editor_.Attach(&text);
  canvas_->CaretPositions(text, TextStyle::Body, caret_positions_);

  if (hovered && input_.pressed) {
    ConsumePress();
    active_id_ = id;
    if (focus_id_ != id) {
      focus_id_ = id;
      scroll_ = 0;
    }
    if (editing_id_ != id) {
      editing_id_ = id;
      editor_.Attach(&text);
      editor_.SetCaret(0, false);
    }
    const bool extend = input_.shift && was_editing;
    editor_.SetCaret(NearestCaret(input_.mouse_x - (area_left - scroll_)), extend);
    drag_selecting_ = true;
    RestartBlink();
    if (input_.double_click) {
      editor_.SelectAll();
      drag_selecting_ = false;
    }
  }

  const bool focused = focus_id_ == id && editing_id_ == id;
  bool changed = false;
  if (focused) {
    if (drag_selecting_ && input_.button_down && active_id_ == id) {
      if (input_.mouse_x < area_left) {
        scroll_ = std::max(scroll_ - 8 * s, 0.0f);
      } else if (input_.mouse_x > area_right) {
        scroll_ += 8 * s;
      }
      editor_.SetCaret(NearestCaret(input_.mouse_x - (area_left - scroll_)), true);
    } else if (!input_.button_down) {
      drag_selecting_ = false;
    }
    changed = HandleFieldKeys(digits_only, max_length);
    if (changed) canvas_->CaretPositions(text, TextStyle::Body, caret_positions_);
  }
  const bool still_focused = focus_id_ == id && editing_id_ == id;

  // Scroll: the caret stays at least 4 inside the right edge and visible at the left; no blank
  // space is left after the end of a scrolled text.
  const float text_width = caret_positions_.back();
  if (still_focused) {
    const float caret_x = caret_positions_[std::min(editor_.caret(), caret_positions_.size() - 1)];
    if (caret_x - scroll_ > area_width - 4 * s) scroll_ = caret_x - area_width + 4 * s;
    if (caret_x - scroll_ < 0) scroll_ = caret_x;
    scroll_ = std::clamp(scroll_, 0.0f, std::max(text_width + 4 * s - area_width, 0.0f));
  }
  const float origin = area_left - (still_focused ? scroll_ : 0.0f);

  const float radius = (theme_.control_radius + 2) * s;
  FillRoundedRect(rect, radius, enabled ? theme_[ThemeColour::Inset] : theme_[ThemeColour::Control]);
  if (still_focused) {
    DrawRoundedRect(rect, radius, theme_[ThemeColour::Accent], 1.6f * s);
  } else {
    DrawRoundedRect(rect, radius, hovered ? theme_[ThemeColour::BorderHover] : theme_[ThemeColour::Border], 1);
  }
  PushClip({area_left - 2 * s, rect.top, area_right + 2 * s, rect.bottom});
  if (still_focused && editor_.HasSelection()) {
    const float x0 = origin + caret_positions_[editor_.SelectionStart()];
    const float x1 = origin + caret_positions_[editor_.SelectionEnd()];
    FillRoundedRect({x0, rect.top + 5 * s, x1, rect.bottom - 5 * s}, 2 * s,
                    MixColour(theme_[ThemeColour::Accent], -0.35f));
  }
  if (text.empty() && !still_focused) {
    Text(placeholder, {area_left, rect.top, area_right, rect.bottom}, TextStyle::Body, TextAlign::Left,
         theme_[ThemeColour::TextDim]);
  } else {
    Text(text, {origin, rect.top, std::max(area_right, origin + text_width + 1), rect.bottom}, TextStyle::Body,
         TextAlign::Left, enabled ? theme_[ThemeColour::Text] : theme_[ThemeColour::TextDim]);
  }
  if (still_focused && enabled && CaretVisible()) {
    const float x = origin + caret_positions_[editor_.caret()];
    DrawLine({x, rect.top + 6 * s}, {x, rect.bottom - 6 * s}, theme_[ThemeColour::Text], 1.4f * s);
  }
  PopClip();
  Trace(id, "textfield", placeholder, text, enabled, rect);
  return changed;
}

}  // namespace tvx::ui

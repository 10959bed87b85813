// The colour picker: a swatch that opens a popup with a saturation/value square, a hue bar and
// preset swatches.
#include <algorithm>
#include <array>
#include <cmath>

#include "foundation/colour.h"
#include "ui/hsv.h"
#include "ui/surface.h"

namespace tvx::ui {

namespace {

constexpr std::array<std::uint32_t, 8> kPresets = {0xFF25E07A, 0xFF3FA9FF, 0xFFFFC533, 0xFFFF5C7A,
                                                   0xFFB07BFF, 0xFFFF7A29, 0xFFF2F5F8, 0xFFFF3B30};
// The square and the hue bar are painted from bitmaps of this many pixels a side, stretched.
constexpr int kSquareCells = 64;
constexpr int kHueCells = 120;

struct PickerLayout {
  Rect square;
  Rect hue_bar;
  std::array<Rect, 8> presets;
};

PickerLayout LayoutPicker(const Rect& popup, float s) {
  PickerLayout l;
  const Rect inner = popup.Inset(12 * s, 12 * s);
  l.square = {inner.left, inner.top, inner.right, inner.top + 112 * s};
  l.hue_bar = {inner.left, l.square.bottom + 12 * s, inner.right, l.square.bottom + 26 * s};
  const float top = l.hue_bar.bottom + 12 * s;
  const float gap = 7 * s;
  const float w = (inner.Width() - 7 * gap) / 8;
  for (int i = 0; i < 8; ++i) {
    const float left = inner.left + i * (w + gap);
    l.presets[i] = {left, top, left + w, top + 28 * s};
  }
  return l;
}

float Fraction(float v, float from, float length) {
  return std::clamp((v - from) / std::max(length, 1.0f), 0.0f, 1.0f);
}

float WholeDegrees(float hue) { return std::fmod(std::round(hue), 360.0f); }

}  // namespace

Rect Surface::ColorPickerPopupRect(const Rect& swatch) const {
  const float s = scale_;
  const float w = 236 * s;
  const float h = 214 * s;
  float x = swatch.left;
  float y = swatch.bottom + 6 * s;
  if (y + h > height_) y = swatch.top - 6 * s - h;  // above when it does not fit below
  // Kept inside the window, but never closer than 8 to its top or left edge.
  x = std::max(std::min(x, width_ - w), 8 * s);
  y = std::max(std::min(y, height_ - h), 8 * s);
  return {x, y, x + w, y + h};
}

bool Surface::ColorPicker(WidgetId id, const Rect& rect, std::uint32_t& colour) {
  const float s = scale_;
  const std::uint32_t before = colour;
  if (ButtonBehaviour(id, rect, true, nullptr)) {
    if (capture_id_ == id) {
      capture_id_ = 0;
    } else {
      capture_id_ = id;
      picker_hue_ = WholeDegrees(ToHsv(colour).hue);
    }
  }

  if (capture_id_ == id) {
    const Rect popup = ColorPickerPopupRect(rect);
    const PickerLayout layout = LayoutPicker(popup, s);
    if (MouseInWindow(popup)) {
      hot_id_ = id;
      if (input_.pressed) {
        if (MouseInWindow(layout.square)) {
          active_id_ = id + 1;
        } else if (MouseInWindow(layout.hue_bar)) {
          active_id_ = id + 2;
        } else {
          for (std::size_t i = 0; i < kPresets.size(); ++i) {
            if (MouseInWindow(layout.presets[i])) {
              colour = kPresets[i];
              picker_hue_ = WholeDegrees(ToHsv(colour).hue);
            }
          }
        }
        // Any press inside the popup is the popup's, so it stays open.
        ConsumePress();
      }
    }
    if (input_.button_down && active_id_ == id + 1) {
      const Hsv own = ToHsv(colour);
      Hsv next;
      next.saturation = Fraction(input_.mouse_x, layout.square.left, layout.square.Width());
      next.value = 1 - Fraction(input_.mouse_y, layout.square.top, layout.square.Height());
      next.hue = own.saturation <= 0.001f ? picker_hue_ : own.hue;
      colour = FromHsv(next);
    } else if (input_.button_down && active_id_ == id + 2) {
      picker_hue_ = Fraction(input_.mouse_x, layout.hue_bar.left, layout.hue_bar.Width()) * 360;
      Hsv next = ToHsv(colour);
      next.hue = picker_hue_;
      // A grey or black colour visibly takes the hue.
      next.saturation = std::max(next.saturation, 0.02f);
      next.value = std::max(next.value, 0.05f);
      colour = FromHsv(next);
    }
    if (input_.released && (active_id_ == id + 1 || active_id_ == id + 2)) active_id_ = 0;
  }

  colour = Opaque(colour);
  const bool open = capture_id_ == id;
  const float radius = (theme_.control_radius + 2) * s;
  FillRoundedRect(rect, radius, colour);
  DrawRoundedRect(rect, radius, open ? theme_[ThemeColour::Accent] : theme_[ThemeColour::BorderHover], 1);
  if (trace_.enabled()) Trace(id, "colorpicker", {}, FormatColour(colour), true, rect);
  if (open) {
    const Rect popup = ColorPickerPopupRect(rect);
    Defer([this, id, popup, shown = colour]() { DrawColorPickerPopup(id, popup, shown); });
  }
  return colour != before;
}

void Surface::DrawColorPickerPopup(WidgetId, Rect popup, std::uint32_t colour) {
  const float s = scale_;
  const PickerLayout layout = LayoutPicker(popup, s);
  DrawPopupFrame(popup, 2 * s, 4 * s);

  // The square at the remembered hue: saturation left to right, value top to bottom.
  const bool hue_changed = picker_square_hue_ != picker_hue_;
  if (hue_changed || picker_pixels_.empty()) {
    picker_pixels_.resize(static_cast<std::size_t>(kSquareCells) * kSquareCells);
    for (int y = 0; y < kSquareCells; ++y) {
      for (int x = 0; x < kSquareCells; ++x) {
        const Hsv hsv{picker_hue_, static_cast<float>(x) / (kSquareCells - 1),
                      1 - static_cast<float>(y) / (kSquareCells - 1)};
        picker_pixels_[static_cast<std::size_t>(y) * kSquareCells + x] = FromHsv(hsv);
      }
    }
    picker_square_hue_ = picker_hue_;
  }
  const BitmapHandle square =
      EnsureBitmap(picker_square_, kSquareCells, kSquareCells, picker_pixels_.data(), hue_changed);
  if (square != 0) canvas_->DrawBitmap(square, layout.square, {}, 1.0f, Interpolation::Linear);
  DrawRoundedRect(layout.square, 3 * s, theme_[ThemeColour::Border], 1);

  if (!canvas_->HasBitmap(picker_hue_bar_.handle) || picker_hue_bar_.canvas != canvas_) {
    std::array<std::uint32_t, kHueCells> hues;
    for (int i = 0; i < kHueCells; ++i) hues[i] = FromHsv({360.0f * i / (kHueCells - 1), 1, 1});
    EnsureBitmap(picker_hue_bar_, kHueCells, 1, hues.data(), false);
  }
  if (picker_hue_bar_.handle != 0) {
    canvas_->DrawBitmap(picker_hue_bar_.handle, layout.hue_bar, {}, 1.0f, Interpolation::Linear);
  }
  DrawRoundedRect(layout.hue_bar, 3 * s, theme_[ThemeColour::Border], 1);
  const float hue_x = layout.hue_bar.left + picker_hue_ / 360 * layout.hue_bar.Width();
  DrawRoundedRect({hue_x - 2 * s, layout.hue_bar.top - 2 * s, hue_x + 2 * s, layout.hue_bar.bottom + 2 * s}, 2 * s,
                  0xFFFFFFFFu, 1.5f * s);

  for (std::size_t i = 0; i < kPresets.size(); ++i) {
    FillRoundedRect(layout.presets[i], theme_.control_radius * s, kPresets[i]);
    if (kPresets[i] == colour) {
      DrawRoundedRect(layout.presets[i], theme_.control_radius * s, theme_[ThemeColour::Text], 1.5f * s);
    }
  }

  const Hsv hsv = ToHsv(colour);
  const Point mark{layout.square.left + hsv.saturation * layout.square.Width(),
                   layout.square.top + (1 - hsv.value) * layout.square.Height()};
  DrawCircle(mark, 6.5f * s, 0xFF000000u, 3 * s);
  DrawCircle(mark, 6.5f * s, 0xFFFFFFFFu, 1.8f * s);
}

}  // namespace tvx::ui

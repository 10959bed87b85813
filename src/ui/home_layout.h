// Row arithmetic shared by the home window's cards: a card has a title band, then rows of controls
// with a label column on the left. Lengths are DIP; Row multiplies by the surface's scale.
#pragma once

#include "ui/geometry.h"

namespace tvx::home_layout {

inline constexpr float kTitleBand = 36;   // the card title's band
inline constexpr float kPadding = 16;     // inside a card
inline constexpr float kRowHeight = 32;
inline constexpr float kRowGap = 8;
inline constexpr float kLabelColumn = 150;

// Walks down a card row by row.
struct Rows {
  float left;   // inside the card's padding
  float right;
  float y;      // top of the next row
  float s;      // scale

  Rows(float cardX, float cardY, float cardWidth, float scale)
      : left(cardX + kPadding * scale), right(cardX + cardWidth - kPadding * scale),
        y(cardY + kTitleBand * scale), s(scale) {}

  float width() const { return right - left; }
  // The whole row `height` DIP high; the next row starts after a gap.
  ui::Rect Take(float height = kRowHeight) {
    const ui::Rect r{left, y, right, y + height * s};
    y += (height + kRowGap) * s;
    return r;
  }
  ui::Rect Label(const ui::Rect& row) const { return {row.left, row.top, row.left + kLabelColumn * s, row.bottom}; }
  ui::Rect Field(const ui::Rect& row) const { return {row.left + kLabelColumn * s, row.top, row.right, row.bottom}; }
  // The card's height once the last row is taken.
  float Height(float cardY) const { return y - cardY + (kPadding - kRowGap) * s; }
};

}  // namespace tvx::home_layout

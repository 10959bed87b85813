// A panel that shows every widget of the surface in each of its states, for looking at the toolkit
// on a real screen (the Windows build hosts it in a window of its own). Live widgets react to the
// mouse; a second row shows the states a mouse cannot hold still (hovered, held, focused, popups
// open near the bottom edge) through a preview surface fed with made-up input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/geometry.h"
#include "ui/surface.h"

namespace tvx::ui {

class GalleryPanel {
 public:
  // The accent of the second theme: light enough that accent fills carry dark text.
  static constexpr std::uint32_t kLightAccent = 0xFFF2F5F8;

  GalleryPanel();

  // Draws the gallery inside `area` of the surface's current frame and applies the accent switch
  // to `surface` (and to the previews).
  void Draw(Surface& surface, const Rect& area);

  bool light_accent() const { return light_accent_; }

 private:
  void DrawPreviews(Surface& surface, const Rect& area);

  bool light_accent_ = false;
  bool toggle_on_ = true;
  bool toggle_off_ = false;
  int slider_ = 62;
  int choice_ = 1;
  int bottom_choice_ = 0;
  std::wstring name_;
  std::wstring digits_ = L"7788";
  std::wstring disabled_text_ = L"not editable";
  std::uint32_t colour_ = 0xFF3FA9FF;
  std::uint32_t bottom_colour_ = 0xFF000000;
  int clicks_ = 0;
  std::vector<std::wstring> items_;
  Surface preview_;
};

}  // namespace tvx::ui

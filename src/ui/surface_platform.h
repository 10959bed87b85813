// What the Surface needs from the system besides drawing: the clipboard. The window supplies the
// Windows implementation; tests use a fake.
#pragma once

#include <string>
#include <string_view>

namespace tvx::ui {

class SurfacePlatform {
 public:
  virtual ~SurfacePlatform() = default;
  // False when the clipboard is busy or holds no Unicode text.
  virtual bool GetClipboardText(std::wstring& text) = 0;
  // Stores `text` as Unicode text; a busy clipboard leaves it unchanged.
  virtual void SetClipboardText(std::wstring_view text) = 0;
};

// The mouse cursor the surface asks the window to show over its client area.
enum class CursorShape : unsigned char { Arrow = 0, IBeam = 1, Hand = 2 };

}  // namespace tvx::ui

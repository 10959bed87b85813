// The arithmetic of a window frame that needs no window: DPI scaling, the title band's regions and
// the resizing edges, and where a saved placement may be restored. The Win32 shell (AppWindow)
// feeds it numbers from the system; tests feed it numbers directly.
#pragma once

#include <cstdint>
#include <span>

namespace tvx::ui {

// A rectangle in whole pixels, half-open: left <= x < right, top <= y < bottom.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

// Lengths of the title bar in device-independent pixels.
inline constexpr float kTitleBarHeight = 38.0f;
inline constexpr float kWindowButtonWidth = 46.0f;
inline constexpr float kTitleRightMargin = 160.0f;

// Ids the window buttons use on the surface.
inline constexpr std::uint32_t kMinimiseButtonId = 0x7F000001u;
inline constexpr std::uint32_t kMaximiseButtonId = 0x7F000002u;
inline constexpr std::uint32_t kCloseButtonId = 0x7F000003u;

// value * dpi / 96 rounded to the nearest integer, as MulDiv does (halves away from zero).
int ScaleForDpi(int value, int dpi);
// The same rectangle after a DPI change: its top-left corner stays, its size scales by
// newDpi / oldDpi.
PixelRect RescaleForDpi(const PixelRect& rect, int oldDpi, int newDpi);

// The system's hit-test codes, as WM_NCHITTEST returns them.
enum class FrameHit : int {
  Client = 1,
  Caption = 2,
  Left = 10,
  Right = 11,
  Top = 12,
  TopLeft = 13,
  TopRight = 14,
  Bottom = 15,
  BottomLeft = 16,
  BottomRight = 17,
};

// The resizing edge under `x, y` (screen pixels) of a window at `window`, or Client when the point
// is not within `border` of any edge.
FrameHit ResizeEdgeAt(const PixelRect& window, int x, int y, int border);

// What the title band holds at a client point.
enum class TitleBandPart { Outside, Caption, Minimise, Maximise, Close };

// The window buttons sit right-aligned in the band: close rightmost, then maximise (when the
// window has one), then minimise.
struct TitleBandLayout {
  float clientWidth = 0;
  float scale = 1;
  bool hasMaximise = true;

  float Height() const { return kTitleBarHeight * scale; }
  float ButtonWidth() const { return kWindowButtonWidth * scale; }
  int ButtonCount() const { return hasMaximise ? 3 : 2; }
  // The x where the buttons begin.
  float ButtonsLeft() const { return clientWidth - ButtonWidth() * ButtonCount(); }
  TitleBandPart PartAt(float x, float y) const;
};

// A saved window placement (window.x, window.y, window.w, window.h, window.maximised).
struct SavedPlacement {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool maximised = false;
};

inline constexpr int kMinRestoredWidth = 300;
inline constexpr int kMinRestoredHeight = 200;

// True when the placement is at least 300 x 200 and its rectangle touches one of the monitors.
bool CanRestorePlacement(const SavedPlacement& saved, std::span<const PixelRect> monitors);

// The top-left corner that centres a window of `width` x `height` in `workArea` (integer division).
void CentreIn(const PixelRect& workArea, int width, int height, int& x, int& y);

}  // namespace tvx::ui

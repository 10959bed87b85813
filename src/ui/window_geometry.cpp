#include "ui/window_geometry.h"

#include <cstdint>

namespace tvx::ui {

int ScaleForDpi(int value, int dpi) {
  const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
  const std::int64_t half = 48;
  return static_cast<int>(product >= 0 ? (product + half) / 96 : (product - half) / 96);
}

PixelRect RescaleForDpi(const PixelRect& rect, int oldDpi, int newDpi) {
  if (oldDpi <= 0 || newDpi <= 0 || oldDpi == newDpi) return rect;
  auto scale = [&](int length) {
    const std::int64_t product = static_cast<std::int64_t>(length) * newDpi;
    const std::int64_t half = oldDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / oldDpi : (product - half) / oldDpi);
  };
  return {rect.left, rect.top, rect.left + scale(rect.Width()), rect.top + scale(rect.Height())};
}

FrameHit ResizeEdgeAt(const PixelRect& window, int x, int y, int border) {
  const bool nearLeft = x < window.left + border;
  const bool nearRight = x >= window.right - border;
  if (y < window.top + border) {
    if (nearLeft) return FrameHit::TopLeft;
    if (nearRight) return FrameHit::TopRight;
  } else if (y >= window.bottom - border) {
    if (nearLeft) return FrameHit::BottomLeft;
    if (nearRight) return FrameHit::BottomRight;
  }
  if (nearLeft) return FrameHit::Left;
  if (nearRight) return FrameHit::Right;
  if (y < window.top + border) return FrameHit::Top;
  if (y >= window.bottom - border) return FrameHit::Bottom;
  return FrameHit::Client;
}

TitleBandPart TitleBandLayout::PartAt(float x, float y) const {
  if (y < 0 || y >= Height() || x < 0 || x >= clientWidth) return TitleBandPart::Outside;
  const float left = ButtonsLeft();
  if (x < left) return TitleBandPart::Caption;
  // Counted from the buttons' left edge: minimise, then maximise (if any), then close.
  const int index = static_cast<int>((x - left) / ButtonWidth());
  if (index >= ButtonCount() - 1) return TitleBandPart::Close;
  if (index == 1) return TitleBandPart::Maximise;
  return TitleBandPart::Minimise;
}

bool CanRestorePlacement(const SavedPlacement& saved, std::span<const PixelRect> monitors) {
  if (saved.w < kMinRestoredWidth || saved.h < kMinRestoredHeight) return false;
  const std::int64_t left = saved.x, top = saved.y;
  const std::int64_t right = left + saved.w, bottom = top + saved.h;
  for (const PixelRect& m : monitors) {
    if (left < m.right && m.left < right && top < m.bottom && m.top < bottom) return true;
  }
  return false;
}

void CentreIn(const PixelRect& workArea, int width, int height, int& x, int& y) {
  x = workArea.left + (workArea.Width() - width) / 2;
  y = workArea.top + (workArea.Height() - height) / 2;
}

}  // namespace tvx::ui

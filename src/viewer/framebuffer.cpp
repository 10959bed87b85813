#include "viewer/framebuffer.h"

#include <algorithm>

#include "viewer/pixel_convert.h"

namespace tvx {

void DirtyRect::Add(const DirtyRect& other) {
  if (other.Empty()) return;
  if (Empty()) {
    *this = other;
    return;
  }
  x0 = std::min(x0, other.x0);
  y0 = std::min(y0, other.y0);
  x1 = std::max(x1, other.x1);
  y1 = std::max(y1, other.y1);
}

void Framebuffer::Resize(std::uint32_t width, std::uint32_t height) {
  std::lock_guard<std::mutex> lock(mutex_);
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * height * 4, kClearByte);
  dirty_ = (width == 0 || height == 0) ? DirtyRect{} : DirtyRect{0, 0, width, height};
}

DirtyRect Framebuffer::TakeDirty() {
  const DirtyRect taken = dirty_;
  dirty_ = {};
  return taken;
}

DirtyRect Framebuffer::PlaceBgr(std::uint32_t x0, std::uint32_t y0, const std::uint8_t* bgr,
                                std::uint32_t w, std::uint32_t h, bool useShuffle) {
  if (!HasPicture() || x0 >= width_ || y0 >= height_ || w == 0 || h == 0) return {};
  const std::uint32_t cw = std::min(width_ - x0, w);
  const std::uint32_t ch = std::min(height_ - y0, h);
  const std::size_t sourceStride = static_cast<std::size_t>(w) * 3;
  const bool shuffle = useShuffle && cw >= 8;
  for (std::uint32_t row = 0; row < ch; ++row) {
    const std::uint8_t* source = bgr + row * sourceStride;
    std::uint8_t* target = pixels_.data() + (static_cast<std::size_t>(y0) + row) * stride() +
                           static_cast<std::size_t>(x0) * 4;
    if (shuffle) {
      BgrToBgraShuffle(source, target, cw);
    } else {
      BgrToBgraScalar(source, target, cw);
    }
  }
  return {x0, y0, x0 + cw, y0 + ch};
}

}  // namespace tvx

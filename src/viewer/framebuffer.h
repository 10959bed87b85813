// The viewer's copy of the host screen: 32-bit B, G, R, A pixels, rows packed top to bottom, with the
// rectangle that changed since the window last took it.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace tvx {

// Half-open pixel rectangle; empty when x1 <= x0 or y1 <= y0.
struct DirtyRect {
  std::uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  // Grows this rectangle to the union with `other`; an empty side is replaced by the other.
  void Add(const DirtyRect& other);
  bool operator==(const DirtyRect&) const = default;
};

class Framebuffer {
 public:
  // The grey a resized framebuffer starts with (alpha is ignored on display).
  static constexpr std::uint8_t kClearByte = 24;

  Framebuffer() = default;
  Framebuffer(const Framebuffer&) = delete;
  Framebuffer& operator=(const Framebuffer&) = delete;

  // Every accessor below marked "locked" requires this lock to be held (by the caller or, for tile
  // placement, by the thread that coordinates the decoders).
  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

  // Takes the lock itself: clears to grey and marks the whole picture dirty (nothing when a size is 0).
  void Resize(std::uint32_t width, std::uint32_t height);

  // Locked.
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  std::uint32_t stride() const { return width_ * 4; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }
  bool HasPicture() const { return width_ != 0 && height_ != 0 && !pixels_.empty(); }
  DirtyRect dirty() const { return dirty_; }
  void MarkDirty(const DirtyRect& rect) { dirty_.Add(rect); }
  // Returns the dirty rectangle and resets it to empty.
  DirtyRect TakeDirty();

  // Locked. Copies a w x h block of B, G, R pixels (stride w * 3) to (x0, y0), clipped at the right
  // and bottom edges, as B, G, R, 255. Returns the rectangle written (empty when the block starts
  // outside the picture). Does not mark it dirty.
  DirtyRect PlaceBgr(std::uint32_t x0, std::uint32_t y0, const std::uint8_t* bgr, std::uint32_t w,
                     std::uint32_t h, bool useShuffle);

 private:
  std::mutex mutex_;
  std::vector<std::uint8_t> pixels_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  DirtyRect dirty_;
};

}  // namespace tvx

// One encoder worker's tools: a picture-sized BGRA bitmap of its own and a JPEG encoder. Only its
// worker touches it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/jpeg_codec.h"

namespace tvx {

// Where the tiles come from: the capture's framebuffer and grid.
struct TileSource {
  const std::uint8_t* framebuffer = nullptr;
  std::uint32_t stride = 0;  // bytes per framebuffer row
  std::uint32_t width = 0;   // framebuffer size
  std::uint32_t height = 0;
  std::uint32_t scale = 1;  // 1, or 2 for half resolution
};

class TileEncoder {
 public:
  // A width x height bitmap (the picture after scaling) and an encoder from `factory`; on failure
  // returns null with the program's text in `error`.
  static std::unique_ptr<TileEncoder> Create(std::uint32_t width, std::uint32_t height,
                                             const JpegEncoderFactory& factory, std::wstring& error);

  // Copies the framebuffer block (x, y, w, h) into the bitmap; at scale 2 it lands at
  // (x / 2, y / 2) as ceil(w / 2) x ceil(h / 2) pixels, each the rounded mean of a 2 x 2 block
  // (the last column or row pairs with itself). Anything outside the bitmap is left out.
  void CopyTileIn(const TileSource& source, std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h);

  // Encodes the bitmap block (x, y, w, h) as one JPEG file into `out` (emptied first).
  bool EncodeTile(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h, std::uint32_t quality,
                  bool subsample420, std::vector<std::uint8_t>& out);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  const std::uint8_t* bitmap() const { return bitmap_.data(); }

 private:
  TileEncoder() = default;

  std::unique_ptr<JpegEncoder> codec_;
  std::vector<std::uint8_t> bitmap_;  // B, G, R, A; stride width * 4
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
};

}  // namespace tvx

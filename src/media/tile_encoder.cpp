#include "media/tile_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/error_text.h"

namespace tvx {

std::unique_ptr<TileEncoder> TileEncoder::Create(std::uint32_t width, std::uint32_t height,
                                                 const JpegEncoderFactory& factory, std::wstring& error) {
  if (width == 0 || height == 0) {
    error = L"Zero-sized frame.";
    return nullptr;
  }
  std::unique_ptr<TileEncoder> encoder(new TileEncoder());
  encoder->width_ = width;
  encoder->height_ = height;
  try {
    encoder->bitmap_.assign(static_cast<std::size_t>(width) * height * 4, 0);
  } catch (const std::bad_alloc&) {
    error = L"WIC surface: " + ErrorText(0x8007000E);  // E_OUTOFMEMORY
    return nullptr;
  }
  encoder->codec_ = factory ? factory(error) : nullptr;
  if (!encoder->codec_) {
    if (error.empty()) error = L"No encoder could be created.";
    return nullptr;
  }
  return encoder;
}

void TileEncoder::CopyTileIn(const TileSource& source, std::uint32_t x, std::uint32_t y, std::uint32_t w,
                             std::uint32_t h) {
  if (!source.framebuffer) return;
  // Never read outside the framebuffer, whatever the job says.
  if (x >= source.width || y >= source.height) return;
  w = std::min(w, source.width - x);
  h = std::min(h, source.height - y);
  const std::size_t bitmapStride = static_cast<std::size_t>(width_) * 4;
  if (source.scale < 2) {
    if (x >= width_ || y >= height_) return;
    const std::uint32_t cw = std::min(w, width_ - x);
    const std::uint32_t ch = std::min(h, height_ - y);
    for (std::uint32_t r = 0; r < ch; ++r) {
      std::memcpy(bitmap_.data() + (y + r) * bitmapStride + static_cast<std::size_t>(x) * 4,
                  source.framebuffer + static_cast<std::size_t>(y + r) * source.stride + static_cast<std::size_t>(x) * 4,
                  static_cast<std::size_t>(cw) * 4);
    }
    return;
  }
  const std::uint32_t dx = x / 2;
  const std::uint32_t dy = y / 2;
  if (dx >= width_ || dy >= height_) return;
  const std::uint32_t dw = std::min((w + 1) / 2, width_ - dx);
  const std::uint32_t dh = std::min((h + 1) / 2, height_ - dy);
  for (std::uint32_t j = 0; j < dh; ++j) {
    const std::uint32_t r0 = y + 2 * j;
    const std::uint32_t r1 = (2 * j + 1 < h) ? r0 + 1 : r0;
    const std::uint8_t* row0 = source.framebuffer + static_cast<std::size_t>(r0) * source.stride;
    const std::uint8_t* row1 = source.framebuffer + static_cast<std::size_t>(r1) * source.stride;
    std::uint8_t* out = bitmap_.data() + (dy + j) * bitmapStride + static_cast<std::size_t>(dx) * 4;
    for (std::uint32_t i = 0; i < dw; ++i, out += 4) {
      const std::size_t c0 = static_cast<std::size_t>(x + 2 * i) * 4;
      const std::size_t c1 = (2 * i + 1 < w) ? c0 + 4 : c0;
      for (int k = 0; k < 3; ++k) {
        out[k] = static_cast<std::uint8_t>((row0[c0 + k] + row0[c1 + k] + row1[c0 + k] + row1[c1 + k] + 2) / 4);
      }
      out[3] = 255;
    }
  }
}

bool TileEncoder::EncodeTile(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h,
                             std::uint32_t quality, bool subsample420, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!codec_ || w == 0 || h == 0 || x >= width_ || y >= height_ || w > width_ - x || h > height_ - y) return false;
  const std::size_t stride = static_cast<std::size_t>(width_) * 4;
  return codec_->Encode(bitmap_.data() + y * stride + static_cast<std::size_t>(x) * 4, static_cast<std::uint32_t>(stride),
                        w, h, quality, subsample420, out);
}

}  // namespace tvx

#include "media/jpeg_header.h"

namespace tvx {

namespace {

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;

// SOF0 .. SOF15 without DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers without a length field.
bool IsStandalone(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

std::uint32_t U16At(const std::uint8_t* p) { return (static_cast<std::uint32_t>(p[0]) << 8) | p[1]; }

}  // namespace

bool ReadJpegFrameSize(const std::uint8_t* jpeg, std::size_t size, std::uint32_t& width, std::uint32_t& height) {
  width = height = 0;
  if (!jpeg || size < 4 || jpeg[0] != 0xFF || jpeg[1] != kStartOfImage) return false;
  std::size_t at = 2;
  for (;;) {
    if (at >= size || jpeg[at] != 0xFF) return false;
    while (at < size && jpeg[at] == 0xFF) ++at;  // fill bytes
    if (at >= size) return false;
    const std::uint8_t marker = jpeg[at++];
    if (IsStandalone(marker)) continue;
    if (marker == kStartOfImage || marker == kEndOfImage || marker == kStartOfScan || marker == 0x00) return false;
    if (size - at < 2) return false;
    const std::uint32_t length = U16At(jpeg + at);  // counts itself
    if (length < 2 || size - at < length) return false;
    if (IsFrameHeader(marker)) {
      // precision (1), height (2), width (2), ...
      if (length < 7) return false;
      height = U16At(jpeg + at + 3);
      width = U16At(jpeg + at + 5);
      if (width == 0 || height == 0) {
        width = height = 0;
        return false;
      }
      return true;
    }
    at += length;
  }
}

}  // namespace tvx

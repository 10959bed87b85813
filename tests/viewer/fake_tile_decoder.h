// A stand-in JPEG decoder for the decode tests: a "JPEG" here is 12 bytes, u32 width, u32 height,
// then B, G, R of a solid colour and one unused byte. Anything else fails to decode. Like the
// real decoders it refuses a declared size beyond the limit before taking any memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/jpeg_codec.h"

namespace tvx::testing {

inline std::vector<std::uint8_t> FakeJpeg(std::uint32_t w, std::uint32_t h, std::uint8_t b, std::uint8_t g,
                                          std::uint8_t r) {
  std::vector<std::uint8_t> bytes(12, 0);
  std::memcpy(bytes.data(), &w, 4);
  std::memcpy(bytes.data() + 4, &h, 4);
  bytes[8] = b;
  bytes[9] = g;
  bytes[10] = r;
  return bytes;
}

class FakeTileDecoder : public JpegDecoder {
 public:
  // `seen` collects the first colour byte of every tile this decoder was given; `peakBytes` (shared
  // by several decoders) the most pixel memory any of them ever held.
  explicit FakeTileDecoder(std::vector<std::uint8_t>* seen = nullptr, std::atomic<std::size_t>* peakBytes = nullptr)
      : seen_(seen), peakBytes_(peakBytes) {}

  JpegDecodeResult Decode(const std::uint8_t* jpeg, std::size_t size, std::uint32_t maxWidth, std::uint32_t maxHeight,
                          std::vector<std::uint8_t>& bgr, std::uint32_t& width, std::uint32_t& height) override {
    width = height = 0;
    if (size != 12) return JpegDecodeResult::Unreadable;
    std::uint32_t w = 0, h = 0;
    std::memcpy(&w, jpeg, 4);
    std::memcpy(&h, jpeg + 4, 4);
    if (seen_) seen_->push_back(jpeg[8]);
    if (w > maxWidth || h > maxHeight) {
      width = w;
      height = h;
      return JpegDecodeResult::TooLarge;
    }
    bgr.resize(static_cast<std::size_t>(w) * h * 3);
    if (peakBytes_) {
      std::size_t peak = peakBytes_->load();
      while (bgr.capacity() > peak && !peakBytes_->compare_exchange_weak(peak, bgr.capacity())) {
      }
    }
    for (std::size_t i = 0; i < bgr.size(); i += 3) {
      bgr[i] = jpeg[8];
      bgr[i + 1] = jpeg[9];
      bgr[i + 2] = jpeg[10];
    }
    width = w;
    height = h;
    return JpegDecodeResult::Decoded;
  }

 private:
  std::vector<std::uint8_t>* seen_;
  std::atomic<std::size_t>* peakBytes_;
};

}  // namespace tvx::testing

// A stand-in JPEG decoder for the decode tests: a "JPEG" here is 12 bytes, u32 width, u32 height,
// then B, G, R of a solid colour and one unused byte. Anything else fails to decode.
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
  // `seen` collects the first colour byte of every tile this decoder was given.
  explicit FakeTileDecoder(std::vector<std::uint8_t>* seen = nullptr) : seen_(seen) {}

  bool Decode(const std::uint8_t* jpeg, std::size_t size, std::vector<std::uint8_t>& bgr,
              std::uint32_t& width, std::uint32_t& height) override {
    if (size != 12) return false;
    std::memcpy(&width, jpeg, 4);
    std::memcpy(&height, jpeg + 4, 4);
    if (seen_) seen_->push_back(jpeg[8]);
    bgr.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < bgr.size(); i += 3) {
      bgr[i] = jpeg[8];
      bgr[i + 1] = jpeg[9];
      bgr[i + 2] = jpeg[10];
    }
    return true;
  }

 private:
  std::vector<std::uint8_t>* seen_;
};

}  // namespace tvx::testing

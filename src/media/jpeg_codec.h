// The platform's JPEG encoder and decoder (the imaging component on Windows, libjpeg-turbo
// elsewhere). One instance per thread; instances are never shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tvx {

class JpegEncoder {
 public:
  virtual ~JpegEncoder() = default;
  // Encodes width x height pixels of B, G, R, A rows (`stride` bytes apart; alpha is ignored) into
  // one complete JPEG file. quality is in percent (5 to 100, clamped); subsample420 picks 4:2:0
  // chroma, else 4:4:4. `out` is emptied first and holds the file on success.
  virtual bool Encode(const std::uint8_t* bgra, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                      std::uint32_t quality, bool subsample420, std::vector<std::uint8_t>& out) = 0;
};

class JpegDecoder {
 public:
  virtual ~JpegDecoder() = default;
  // Decodes one complete JPEG file into B, G, R rows (stride width * 3), reusing `bgr`'s storage.
  // False when the bytes are not a picture it can read, or one larger than kMaxJpegEdge.
  virtual bool Decode(const std::uint8_t* jpeg, std::size_t size, std::vector<std::uint8_t>& bgr,
                      std::uint32_t& width, std::uint32_t& height) = 0;
};

inline constexpr std::uint32_t kMaxJpegEdge = 16384;

// quality / 100, kept within 0.05 .. 1.0.
float JpegQualityFraction(std::uint32_t quality);
// quality kept within 5 .. 100.
std::uint32_t ClampJpegQuality(std::uint32_t quality);

// Make one instance; on failure return null and fill `error` with the program's text.
std::unique_ptr<JpegEncoder> CreateJpegEncoder(std::wstring& error);
std::unique_ptr<JpegDecoder> CreateJpegDecoder(std::wstring& error);

using JpegEncoderFactory = std::function<std::unique_ptr<JpegEncoder>(std::wstring& error)>;

}  // namespace tvx

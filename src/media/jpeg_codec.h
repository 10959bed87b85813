// The JPEG encoder and decoder of tiles. Both builds use libjpeg-turbo; the Windows build also has
// the imaging component's codec, used when libjpeg-turbo cannot be set up and for comparison.
// One instance per thread; instances are never shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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

enum class JpegDecodeResult {
  Decoded,     // `bgr` holds width x height pixels
  Unreadable,  // not a picture the decoder can read; width and height are 0
  TooLarge,    // the header declares width x height beyond the limit; nothing else was read
};

class JpegDecoder {
 public:
  virtual ~JpegDecoder() = default;
  // Decodes one complete JPEG file into B, G, R rows (stride width * 3), reusing `bgr`'s storage.
  // The header is read first: a picture wider than maxWidth or higher than maxHeight (limits
  // above kMaxJpegEdge count as kMaxJpegEdge) is TooLarge before any pixel memory is taken, and
  // `bgr` is left as it was. A sender chooses the declared size freely, so only the limit may
  // decide how much a decode allocates.
  virtual JpegDecodeResult Decode(const std::uint8_t* jpeg, std::size_t size, std::uint32_t maxWidth,
                                  std::uint32_t maxHeight, std::vector<std::uint8_t>& bgr, std::uint32_t& width,
                                  std::uint32_t& height) = 0;
};

inline constexpr std::uint32_t kMaxJpegEdge = 16384;

// quality / 100, kept within 0.05 .. 1.0.
float JpegQualityFraction(std::uint32_t quality);
// quality kept within 5 .. 100.
std::uint32_t ClampJpegQuality(std::uint32_t quality);

// Each factory makes one instance; on failure it returns null and fills `error` with the program's text.
using JpegEncoderFactory = std::function<std::unique_ptr<JpegEncoder>(std::wstring& error)>;
using JpegDecoderFactory = std::function<std::unique_ptr<JpegDecoder>(std::wstring& error)>;

// libjpeg-turbo (both builds).
std::unique_ptr<JpegEncoder> CreateTurboJpegEncoder(std::wstring& error);
std::unique_ptr<JpegDecoder> CreateTurboJpegDecoder(std::wstring& error);
// The imaging component's codec (Windows; elsewhere these always fail). The calling thread must
// have initialised COM.
bool WicJpegCodecBuiltIn();
std::unique_ptr<JpegEncoder> CreateWicJpegEncoder(std::wstring& error);
std::unique_ptr<JpegDecoder> CreateWicJpegDecoder(std::wstring& error);

// The default: libjpeg-turbo, or the imaging component's codec when libjpeg-turbo cannot be set
// up (logged). The error is libjpeg-turbo's when neither can be made.
std::unique_ptr<JpegEncoder> CreateJpegEncoder(std::wstring& error);
std::unique_ptr<JpegDecoder> CreateJpegDecoder(std::wstring& error);

// The codec a command line picks: "turbo" (the default, with its fallback) or "wic".
enum class JpegCodecChoice { Turbo, Wic };
bool ParseJpegCodecChoice(std::string_view text, JpegCodecChoice& choice);
JpegEncoderFactory JpegEncoderFactoryFor(JpegCodecChoice choice);
JpegDecoderFactory JpegDecoderFactoryFor(JpegCodecChoice choice);

}  // namespace tvx

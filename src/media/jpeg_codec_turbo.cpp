// libjpeg-turbo through its TurboJPEG interface: the codec of both builds.
#include <turbojpeg.h>

#include <algorithm>

#include "foundation/text.h"
#include "media/jpeg_codec.h"

namespace tvx {

namespace {

class TurboJpegEncoder final : public JpegEncoder {
 public:
  explicit TurboJpegEncoder(tjhandle handle) : handle_(handle) {}
  ~TurboJpegEncoder() override {
    if (buffer_) tjFree(buffer_);
    tjDestroy(handle_);
  }
  TurboJpegEncoder(const TurboJpegEncoder&) = delete;
  TurboJpegEncoder& operator=(const TurboJpegEncoder&) = delete;

  bool Encode(const std::uint8_t* bgra, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
              std::uint32_t quality, bool subsample420, std::vector<std::uint8_t>& out) override {
    out.clear();
    if (!bgra || width == 0 || height == 0 || width > kMaxJpegEdge || height > kMaxJpegEdge || stride < width * 4) {
      return false;
    }
    const int sampling = subsample420 ? TJSAMP_420 : TJSAMP_444;
    // A buffer of the worst-case size, kept between tiles, so the library never reallocates it.
    const unsigned long need = tjBufSize(static_cast<int>(width), static_cast<int>(height), sampling);
    if (need == static_cast<unsigned long>(-1)) return false;
    if (need > capacity_) {
      if (buffer_) tjFree(buffer_);
      buffer_ = tjAlloc(static_cast<int>(need));
      capacity_ = buffer_ ? need : 0;
      if (!buffer_) return false;
    }
    unsigned long size = capacity_;
    const int rc = tjCompress2(handle_, bgra, static_cast<int>(width), static_cast<int>(stride), static_cast<int>(height),
                               TJPF_BGRX, &buffer_, &size, sampling, static_cast<int>(ClampJpegQuality(quality)),
                               TJFLAG_NOREALLOC);
    if (rc != 0 || size == 0) return false;
    out.assign(buffer_, buffer_ + size);
    return true;
  }

 private:
  tjhandle handle_;
  unsigned char* buffer_ = nullptr;
  unsigned long capacity_ = 0;
};

class TurboJpegDecoder final : public JpegDecoder {
 public:
  explicit TurboJpegDecoder(tjhandle handle) : handle_(handle) {}
  ~TurboJpegDecoder() override { tjDestroy(handle_); }
  TurboJpegDecoder(const TurboJpegDecoder&) = delete;
  TurboJpegDecoder& operator=(const TurboJpegDecoder&) = delete;

  JpegDecodeResult Decode(const std::uint8_t* jpeg, std::size_t size, std::uint32_t maxWidth, std::uint32_t maxHeight,
                          std::vector<std::uint8_t>& bgr, std::uint32_t& width, std::uint32_t& height) override {
    width = height = 0;
    if (!jpeg || size == 0 || size > 0x7FFFFFFF) return JpegDecodeResult::Unreadable;
    int w = 0, h = 0, sampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle_, jpeg, static_cast<unsigned long>(size), &w, &h, &sampling, &colourspace) != 0 ||
        w <= 0 || h <= 0) {
      return JpegDecodeResult::Unreadable;
    }
    if (static_cast<std::uint32_t>(w) > std::min(maxWidth, kMaxJpegEdge) ||
        static_cast<std::uint32_t>(h) > std::min(maxHeight, kMaxJpegEdge)) {
      width = static_cast<std::uint32_t>(w);
      height = static_cast<std::uint32_t>(h);
      return JpegDecodeResult::TooLarge;
    }
    bgr.resize(static_cast<std::size_t>(w) * h * 3);
    // A progressive file may carry any number of scans; a tile never needs many.
    if (tjDecompress2(handle_, jpeg, static_cast<unsigned long>(size), bgr.data(), w, w * 3, h, TJPF_BGR,
                      TJFLAG_LIMITSCANS) != 0) {
      return JpegDecodeResult::Unreadable;
    }
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
    return JpegDecodeResult::Decoded;
  }

 private:
  tjhandle handle_;
};

}  // namespace

std::unique_ptr<JpegEncoder> CreateTurboJpegEncoder(std::wstring& error) {
  tjhandle handle = tjInitCompress();
  if (!handle) {
    error = L"JPEG encoder: " + Utf8ToWide(tjGetErrorStr2(nullptr));
    return nullptr;
  }
  return std::make_unique<TurboJpegEncoder>(handle);
}

std::unique_ptr<JpegDecoder> CreateTurboJpegDecoder(std::wstring& error) {
  tjhandle handle = tjInitDecompress();
  if (!handle) {
    error = L"JPEG decoder: " + Utf8ToWide(tjGetErrorStr2(nullptr));
    return nullptr;
  }
  return std::make_unique<TurboJpegDecoder>(handle);
}

}  // namespace tvx

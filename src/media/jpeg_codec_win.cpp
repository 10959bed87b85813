// The Windows Imaging Component's JPEG codec over in-memory streams: the fallback of the Windows
// build and the comparison for its benchmarks.
#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>

#include "foundation/error_text.h"
#include "media/jpeg_codec.h"
#include "media/jpeg_header.h"

namespace tvx {

namespace {

using Microsoft::WRL::ComPtr;

std::wstring HrText(const wchar_t* prefix, HRESULT hr) { return prefix + ErrorText(static_cast<std::uint32_t>(hr)); }

class WicJpegEncoder final : public JpegEncoder {
 public:
  WicJpegEncoder(ComPtr<IWICImagingFactory> factory, ComPtr<IStream> stream)
      : factory_(std::move(factory)), stream_(std::move(stream)) {}

  bool Encode(const std::uint8_t* bgra, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
              std::uint32_t quality, bool subsample420, std::vector<std::uint8_t>& out) override {
    out.clear();
    if (!bgra || width == 0 || height == 0 || width > kMaxJpegEdge || height > kMaxJpegEdge || stride < width * 4) {
      return false;
    }
    // The encoder takes 24-bit rows; converting here is several times faster than letting a
    // format converter feed it.
    const std::uint32_t bgrStride = (width * 3 + 3) & ~3u;
    bgr_.resize(static_cast<std::size_t>(bgrStride) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* s = bgra + static_cast<std::size_t>(y) * stride;
      std::uint8_t* d = bgr_.data() + static_cast<std::size_t>(y) * bgrStride;
      for (std::uint32_t x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
    }

    ULARGE_INTEGER zero{};
    LARGE_INTEGER start{};
    if (FAILED(stream_->SetSize(zero)) || FAILED(stream_->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory_->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder))) return false;
    if (FAILED(encoder->Initialize(stream_.Get(), WICBitmapEncoderNoCache))) return false;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> bag;
    if (FAILED(encoder->CreateNewFrame(&frame, &bag))) return false;
    if (bag) {
      PROPBAG2 option{};
      VARIANT value;
      option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
      VariantInit(&value);
      value.vt = VT_R4;
      value.fltVal = JpegQualityFraction(quality);
      if (FAILED(bag->Write(1, &option, &value))) return false;
      option.pstrName = const_cast<LPOLESTR>(L"JpegYCrCbSubsampling");
      VariantInit(&value);
      value.vt = VT_UI1;
      value.bVal = subsample420 ? 1 : 3;  // WICJpegYCrCbSubsampling420 : ...444
      if (FAILED(bag->Write(1, &option, &value))) return false;
    }
    if (FAILED(frame->Initialize(bag.Get()))) return false;
    if (FAILED(frame->SetSize(width, height))) return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) return false;
    if (FAILED(frame->WritePixels(height, bgrStride, static_cast<UINT>(bgr_.size()), bgr_.data()))) return false;
    if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;

    STATSTG stat{};
    if (FAILED(stream_->Stat(&stat, STATFLAG_NONAME))) return false;
    if (stat.cbSize.QuadPart == 0 || stat.cbSize.QuadPart > 0x7FFFFFFF) return false;
    if (FAILED(stream_->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    out.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
    ULONG read = 0;
    if (FAILED(stream_->Read(out.data(), static_cast<ULONG>(out.size()), &read))) {
      out.clear();
      return false;
    }
    out.resize(read);
    return !out.empty();
  }

 private:
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IStream> stream_;
  std::vector<std::uint8_t> bgr_;
};

class WicJpegDecoder final : public JpegDecoder {
 public:
  explicit WicJpegDecoder(ComPtr<IWICImagingFactory> factory) : factory_(std::move(factory)) {}

  JpegDecodeResult Decode(const std::uint8_t* jpeg, std::size_t size, std::uint32_t maxWidth, std::uint32_t maxHeight,
                          std::vector<std::uint8_t>& bgr, std::uint32_t& width, std::uint32_t& height) override {
    width = height = 0;
    if (!jpeg || size == 0 || size > 0x7FFFFFFF) return JpegDecodeResult::Unreadable;
    // The size check comes before the imaging component sees the file: some of its decoders
    // decode the whole declared picture when they are initialised.
    std::uint32_t declaredW = 0, declaredH = 0;
    if (!ReadJpegFrameSize(jpeg, size, declaredW, declaredH)) return JpegDecodeResult::Unreadable;
    const std::uint32_t limitW = std::min(maxWidth, kMaxJpegEdge);
    const std::uint32_t limitH = std::min(maxHeight, kMaxJpegEdge);
    if (declaredW > limitW || declaredH > limitH) {
      width = declaredW;
      height = declaredH;
      return JpegDecodeResult::TooLarge;
    }
    ComPtr<IWICStream> stream;
    if (FAILED(factory_->CreateStream(&stream))) return JpegDecodeResult::Unreadable;
    if (FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(jpeg), static_cast<DWORD>(size)))) {
      return JpegDecodeResult::Unreadable;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory_->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &decoder)) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
      return JpegDecodeResult::Unreadable;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return JpegDecodeResult::Unreadable;
    // Whatever the component read must still be the size that was checked.
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > limitW || h > limitH) {
      return JpegDecodeResult::Unreadable;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory_->CreateFormatConverter(&converter))) return JpegDecodeResult::Unreadable;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
      return JpegDecodeResult::Unreadable;
    }
    bgr.resize(static_cast<std::size_t>(w) * h * 3);
    if (FAILED(converter->CopyPixels(nullptr, w * 3, static_cast<UINT>(bgr.size()), bgr.data()))) {
      return JpegDecodeResult::Unreadable;
    }
    width = w;
    height = h;
    return JpegDecodeResult::Decoded;
  }

 private:
  ComPtr<IWICImagingFactory> factory_;
};

bool MakeFactory(ComPtr<IWICImagingFactory>& factory, std::wstring& error) {
  const HRESULT hr =
      CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  if (FAILED(hr)) {
    error = HrText(L"WIC factory: ", hr);
    return false;
  }
  return true;
}

}  // namespace

bool WicJpegCodecBuiltIn() { return true; }

std::unique_ptr<JpegEncoder> CreateWicJpegEncoder(std::wstring& error) {
  ComPtr<IWICImagingFactory> factory;
  if (!MakeFactory(factory, error)) return nullptr;
  ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(nullptr, 0));
  if (!stream) {
    error = L"Out of memory for the encode stream.";
    return nullptr;
  }
  return std::make_unique<WicJpegEncoder>(std::move(factory), std::move(stream));
}

std::unique_ptr<JpegDecoder> CreateWicJpegDecoder(std::wstring& error) {
  ComPtr<IWICImagingFactory> factory;
  if (!MakeFactory(factory, error)) return nullptr;
  return std::make_unique<WicJpegDecoder>(std::move(factory));
}

}  // namespace tvx

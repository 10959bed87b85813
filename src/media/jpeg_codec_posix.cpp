// Outside Windows there is no imaging component: only libjpeg-turbo.
#include "media/jpeg_codec.h"

namespace tvx {

namespace {
constexpr const wchar_t* kNoWic = L"The imaging component's JPEG codec exists only in the Windows build.";
}  // namespace

bool WicJpegCodecBuiltIn() { return false; }

std::unique_ptr<JpegEncoder> CreateWicJpegEncoder(std::wstring& error) {
  error = kNoWic;
  return nullptr;
}

std::unique_ptr<JpegDecoder> CreateWicJpegDecoder(std::wstring& error) {
  error = kNoWic;
  return nullptr;
}

}  // namespace tvx

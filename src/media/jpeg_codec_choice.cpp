// Which JPEG codec a program uses: libjpeg-turbo, falling back to the imaging component's codec.
#include "foundation/log.h"
#include "media/jpeg_codec.h"

namespace tvx {

namespace {

// Tries libjpeg-turbo, then the imaging component; keeps libjpeg-turbo's error when both fail.
template <class Codec>
std::unique_ptr<Codec> TurboOrWic(std::unique_ptr<Codec> (*turbo)(std::wstring&),
                                  std::unique_ptr<Codec> (*wic)(std::wstring&), const wchar_t* role,
                                  std::wstring& error) {
  std::unique_ptr<Codec> codec = turbo(error);
  if (codec || !WicJpegCodecBuiltIn()) return codec;
  std::wstring wicError;
  codec = wic(wicError);
  if (codec) {
    Log(kLogWarning, L"libjpeg-turbo %s unavailable (%s); using the imaging component's", role, error.c_str());
    error.clear();
  }
  return codec;
}

}  // namespace

std::unique_ptr<JpegEncoder> CreateJpegEncoder(std::wstring& error) {
  return TurboOrWic<JpegEncoder>(CreateTurboJpegEncoder, CreateWicJpegEncoder, L"encoder", error);
}

std::unique_ptr<JpegDecoder> CreateJpegDecoder(std::wstring& error) {
  return TurboOrWic<JpegDecoder>(CreateTurboJpegDecoder, CreateWicJpegDecoder, L"decoder", error);
}

bool ParseJpegCodecChoice(std::string_view text, JpegCodecChoice& choice) {
  if (text == "turbo") {
    choice = JpegCodecChoice::Turbo;
  } else if (text == "wic") {
    choice = JpegCodecChoice::Wic;
  } else {
    return false;
  }
  return true;
}

JpegEncoderFactory JpegEncoderFactoryFor(JpegCodecChoice choice) {
  return choice == JpegCodecChoice::Wic ? JpegEncoderFactory(CreateWicJpegEncoder) : JpegEncoderFactory(CreateJpegEncoder);
}

JpegDecoderFactory JpegDecoderFactoryFor(JpegCodecChoice choice) {
  return choice == JpegCodecChoice::Wic ? JpegDecoderFactory(CreateWicJpegDecoder) : JpegDecoderFactory(CreateJpegDecoder);
}

}  // namespace tvx

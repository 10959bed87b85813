#include "jpeg_option.h"

#include <cstdio>

namespace tvx::cli {

bool ParseJpegOption(const char* command, bool hasValue, const std::string& value, JpegCodecChoice& choice) {
  if (!hasValue || !ParseJpegCodecChoice(value, choice)) {
    std::fprintf(stderr, "tavrix-cli %s: --jpeg takes 'turbo' or 'wic'\n", command);
    return false;
  }
  if (choice == JpegCodecChoice::Wic && !WicJpegCodecBuiltIn()) {
    std::fprintf(stderr, "tavrix-cli %s: --jpeg wic exists only in the Windows build\n", command);
    return false;
  }
  return true;
}

}  // namespace tvx::cli

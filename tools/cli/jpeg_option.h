// The --jpeg option of the commands that encode or decode tiles: which JPEG codec they use.
#pragma once

#include <string>

#include "media/jpeg_codec.h"

namespace tvx::cli {

inline constexpr const char* kJpegOptionHelp =
    "  --jpeg turbo|wic   JPEG codec: libjpeg-turbo (default) or the imaging component's (Windows build)\n";

// `value` as a codec choice; otherwise prints why to stderr under the command's name and returns false.
bool ParseJpegOption(const char* command, bool hasValue, const std::string& value, JpegCodecChoice& choice);

}  // namespace tvx::cli

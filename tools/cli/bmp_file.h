// Saving a picture as an uncompressed 24-bit BMP file.
#pragma once

#include <cstdint>
#include <string>

namespace tvx::cli {

// `bgra` holds height rows of width B, G, R, A pixels, `stride` bytes apart; alpha is dropped.
bool SaveBmp24(const std::string& path, const std::uint8_t* bgra, std::uint32_t width, std::uint32_t height,
               std::uint32_t stride);

}  // namespace tvx::cli

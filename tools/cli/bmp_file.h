// Saving a picture as an uncompressed BMP file.
#pragma once

#include <cstdint>
#include <string>

namespace tvx::cli {

// `bgra` holds height rows of width B, G, R, A pixels, `stride` bytes apart; alpha is dropped.
bool SaveBmp24(const std::string& path, const std::uint8_t* bgra, std::uint32_t width, std::uint32_t height,
               std::uint32_t stride);
// The same pixels with their alpha, as a 32-bit BMP with an alpha mask (BITMAPV4HEADER).
bool SaveBmp32(const std::string& path, const std::uint8_t* bgra, std::uint32_t width, std::uint32_t height,
               std::uint32_t stride);

}  // namespace tvx::cli

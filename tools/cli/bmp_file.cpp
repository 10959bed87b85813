#include "bmp_file.h"

#include <cstdio>
#include <vector>

#include "foundation/stdio_file.h"

namespace tvx::cli {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& file) {
  const StdioFile f = OpenStdioFile(path, "wb");
  if (!f) return false;
  return std::fwrite(file.data(), 1, file.size(), f.get()) == file.size();
}

}  // namespace

bool SaveBmp24(const std::string& path, const std::uint8_t* bgra, std::uint32_t width, std::uint32_t height,
               std::uint32_t stride) {
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t imageBytes = rowBytes * height;
  if (width == 0 || height == 0 || 54 + imageBytes > 0xFFFFFFFFu) return false;
  std::vector<std::uint8_t> file;
  file.reserve(static_cast<std::size_t>(54 + imageBytes));
  file.push_back('B');
  file.push_back('M');
  Put32(file, static_cast<std::uint32_t>(54 + imageBytes));
  Put32(file, 0);
  Put32(file, 54);
  Put32(file, 40);  // BITMAPINFOHEADER
  Put32(file, width);
  Put32(file, height);  // positive: rows bottom-up
  Put16(file, 1);
  Put16(file, 24);
  Put32(file, 0);
  Put32(file, static_cast<std::uint32_t>(imageBytes));
  Put32(file, 3780);  // 96 dpi
  Put32(file, 3780);
  Put32(file, 0);
  Put32(file, 0);
  for (std::uint32_t y = height; y-- > 0;) {
    const std::uint8_t* row = bgra + static_cast<std::size_t>(y) * stride;
    for (std::uint32_t x = 0; x < width; ++x) {
      file.push_back(row[x * 4]);
      file.push_back(row[x * 4 + 1]);
      file.push_back(row[x * 4 + 2]);
    }
    file.insert(file.end(), static_cast<std::size_t>(rowBytes - static_cast<std::uint64_t>(width) * 3), 0);
  }
  return WriteBytes(path, file);
}

bool SaveBmp32(const std::string& path, const std::uint8_t* bgra, std::uint32_t width, std::uint32_t height,
               std::uint32_t stride) {
  constexpr std::uint32_t kHeaders = 14 + 108;
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(width) * 4 * height;
  if (width == 0 || height == 0 || kHeaders + imageBytes > 0xFFFFFFFFu) return false;
  std::vector<std::uint8_t> file;
  file.reserve(static_cast<std::size_t>(kHeaders + imageBytes));
  file.push_back('B');
  file.push_back('M');
  Put32(file, static_cast<std::uint32_t>(kHeaders + imageBytes));
  Put32(file, 0);
  Put32(file, kHeaders);
  Put32(file, 108);  // BITMAPV4HEADER
  Put32(file, width);
  Put32(file, height);  // positive: rows bottom-up
  Put16(file, 1);
  Put16(file, 32);
  Put32(file, 3);  // BI_BITFIELDS
  Put32(file, static_cast<std::uint32_t>(imageBytes));
  Put32(file, 3780);  // 96 dpi
  Put32(file, 3780);
  Put32(file, 0);
  Put32(file, 0);
  Put32(file, 0x00FF0000u);  // red, green, blue and alpha masks
  Put32(file, 0x0000FF00u);
  Put32(file, 0x000000FFu);
  Put32(file, 0xFF000000u);
  Put32(file, 0x73524742u);  // 'sRGB'
  file.insert(file.end(), 48, 0);  // end points and gamma, unused for sRGB
  for (std::uint32_t y = height; y-- > 0;) {
    const std::uint8_t* row = bgra + static_cast<std::size_t>(y) * stride;
    file.insert(file.end(), row, row + static_cast<std::size_t>(width) * 4);
  }
  return WriteBytes(path, file);
}

}  // namespace tvx::cli

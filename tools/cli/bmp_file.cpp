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
  const StdioFile f = OpenStdioFile(path, "wb");
  if (!f) return false;
  return std::fwrite(file.data(), 1, file.size(), f.get()) == file.size();
}

}  // namespace tvx::cli

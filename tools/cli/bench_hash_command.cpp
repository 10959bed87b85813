// tavrix-cli bench hash: how fast the capture tells changed tiles from unchanged ones, beside a
// plain copy of the same bytes.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "commands.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "media/screen_capture.h"
#include "media/synthetic_source.h"
#include "media/tile_grid.h"
#include "media/tile_hash.h"

namespace tvx::cli {

namespace {

// Runs `pass` until at least 300 ms went by; returns bytes per second.
template <class Pass>
double Measure(double bytesPerPass, Pass pass) {
  pass();  // warm the caches and the page tables
  const std::int64_t start = NowMicros();
  std::int64_t elapsed = 0;
  int passes = 0;
  do {
    pass();
    ++passes;
    elapsed = NowMicros() - start;
  } while (elapsed < 300000);
  return bytesPerPass * passes / (static_cast<double>(elapsed) / 1e6);
}

std::uint64_t HashAll(const TileGrid& grid, TileHashFunction hash) {
  std::uint64_t sum = 0;
  for (std::uint32_t t = 0; t < grid.tileCount(); ++t) {
    const std::uint32_t x0 = (t % grid.tilesX()) * grid.tileSize();
    const std::uint32_t y0 = (t / grid.tilesX()) * grid.tileSize();
    TileBytes bytes;
    bytes.first = grid.framebuffer() + static_cast<std::size_t>(y0) * grid.stride() + x0 * 4;
    bytes.rowBytes = std::min(grid.width() - x0, grid.tileSize()) * 4;
    bytes.rows = std::min(grid.height() - y0, grid.tileSize());
    bytes.stride = grid.stride();
    sum += hash(bytes);
  }
  return sum;
}

}  // namespace

int RunBenchHash(const Args& args) {
  if (!args.empty()) {
    std::printf("usage: tavrix-cli bench hash\n\nMeasures change detection (GB/s) on 1920x1080 and 3840x2160 "
                "synthetic desktops beside memcpy of the same bytes.\n");
    return args[0] == "--help" ? 0 : 2;
  }
  SetLogToDebugOutput(false);  // the table is the output
  const bool crc = CpuHasSse42();
  std::printf("change detection, GB/s (hash in use: %s)\n", crc ? "CRC-32C (SSE4.2)" : "FNV-1a");
  std::printf("%-10s %8s %12s %12s %12s %12s\n", "frame", "MB", "detect", "crc32c", "fnv1a", "memcpy");
  const std::uint32_t sizes[][2] = {{1920, 1080}, {3840, 2160}};
  volatile std::uint64_t sink = 0;
  for (const auto& size : sizes) {
    SyntheticOptions options;
    options.width = size[0];
    options.height = size[1];
    ScreenCapture capture(std::make_unique<SyntheticSource>(options));
    std::wstring error;
    if (!capture.Open(0, error) || capture.AcquireFrame(0) != CaptureResult::Changed) {
      std::fprintf(stderr, "bench hash: the synthetic desktop did not open\n");
      return 1;
    }
    TileGrid grid;
    grid.Reset(size[0], size[1]);
    grid.MarkAllChanged();
    grid.CopyChangedBands(capture.framebuffer(), capture.stride());
    const double bytes = static_cast<double>(grid.stride()) * grid.height();

    // The capture's own path: every tile reported, hashed, found unchanged.
    const double detect = Measure(bytes, [&] {
      grid.MarkAllChanged();
      grid.HashChangedTiles();
    });
    const double crcRate = crc ? Measure(bytes, [&] { sink = sink + HashAll(grid, TileHashCrc32c); }) : 0.0;
    const double fnvRate = Measure(bytes, [&] { sink = sink + HashAll(grid, TileHashFnv1a); });
    std::vector<std::uint8_t> target(static_cast<std::size_t>(bytes));
    const double copyRate = Measure(bytes, [&] {
      std::memcpy(target.data(), grid.framebuffer(), target.size());
      sink = sink + target[target.size() / 2];
    });
    char crcText[32];
    if (crc) {
      std::snprintf(crcText, sizeof(crcText), "%.2f", crcRate / 1e9);
    } else {
      std::snprintf(crcText, sizeof(crcText), "n/a");
    }
    char frame[32];
    std::snprintf(frame, sizeof(frame), "%ux%u", size[0], size[1]);
    std::printf("%-10s %8.1f %12.2f %12s %12.2f %12.2f\n", frame, bytes / 1e6, detect / 1e9, crcText, fnvRate / 1e9,
                copyRate / 1e9);
  }
  return 0;
}

}  // namespace tvx::cli

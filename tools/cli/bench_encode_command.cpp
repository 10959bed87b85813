// tavrix-cli bench encode: tiles per second through the encoder pool, per thread count and
// synthetic workload, at quality 62 with 4:4:4 and at the level-2 settings.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "jpeg_option.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/com_apartment.h"
#include "media/encode_settings.h"
#include "media/screen_capture.h"
#include "media/synthetic_source.h"
#include "media/tile_encoder_pool.h"

namespace tvx::cli {

namespace {

struct Row {
  std::uint64_t tiles = 0;
  std::uint64_t pixels = 0;
  std::uint64_t bytes = 0;
  std::int64_t micros = 0;
};

// Encodes the changed tiles of successive frames for about `millis` of encoding time. The static
// workload never changes, so it encodes the whole picture every frame (a full refresh).
bool RunWorkload(ScreenCapture& capture, TileEncoderPool& pool, SyntheticWorkload workload, std::uint32_t scale,
                 const EncodeSettings& settings, std::int64_t millis, Row& row) {
  const std::uint32_t total = capture.tilesX() * capture.tilesY();
  std::vector<std::uint32_t> tiles;
  std::vector<EncodedTile> results(total);
  const std::uint32_t outTile = capture.tileSize() / scale;
  int frames = 0;
  while (row.micros < millis * 1000 || frames < 3) {
    if (workload == SyntheticWorkload::Static) capture.RequestFullRefresh();
    const CaptureResult r = capture.AcquireFrame(0);
    if (r != CaptureResult::Changed) {
      if (r == CaptureResult::Idle) continue;
      return false;
    }
    ++frames;
    tiles.clear();
    for (std::uint32_t t = 0; t < total; ++t) {
      if (capture.changed().test(t)) tiles.push_back(t);
    }
    EncodeJob& job = pool.job();
    job.tiles = &tiles;
    job.results = &results;
    job.framebuffer = capture.framebuffer();
    job.stride = capture.stride();
    job.tilesX = capture.tilesX();
    job.tileSize = capture.tileSize();
    job.width = capture.width();
    job.height = capture.height();
    job.scale = scale;
    job.quality = settings.quality;
    job.subsample420 = settings.subsample420;
    const std::int64_t start = NowMicros();
    const std::uint32_t encoded = pool.RunBatch();
    row.micros += NowMicros() - start;
    row.tiles += encoded;
    for (std::uint32_t t : tiles) {
      if (!results[t]) continue;
      row.bytes += results[t]->size();
      const std::uint32_t x = (t % capture.tilesX()) * outTile, y = (t / capture.tilesX()) * outTile;
      row.pixels += static_cast<std::uint64_t>(std::min(outTile, pool.width() - x)) * std::min(outTile, pool.height() - y);
      results[t].reset();
    }
  }
  return true;
}

}  // namespace

int RunBenchEncode(const Args& args) {
  std::uint32_t width = 1920, height = 1080;
  std::uint32_t maxThreads = std::max(1u, std::thread::hardware_concurrency());
  std::int64_t millis = 1000;
  JpegCodecChoice jpeg = JpegCodecChoice::Turbo;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--size" && i + 1 < args.size() && ParseSize(args[i + 1], 1, SyntheticSource::kMaxEdge, width, height)) {
      ++i;
    } else if (a == "--threads" && i + 1 < args.size()) {
      maxThreads = static_cast<std::uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
    } else if (a == "--millis" && i + 1 < args.size()) {
      millis = std::strtol(args[++i].c_str(), nullptr, 10);
    } else if (a == "--jpeg") {
      if (!ParseJpegOption("bench encode", i + 1 < args.size(), i + 1 < args.size() ? args[i + 1] : "", jpeg)) return 2;
      ++i;
    } else {
      std::printf("usage: tavrix-cli bench encode [--size WxH] [--threads N] [--millis MS] [--jpeg turbo|wic]\n\n"
                  "Encodes the changed tiles of each synthetic workload (static = whole picture each frame) with\n"
                  "1..N encoder threads (default: the processor count) for about MS ms of encoding per row\n"
                  "(default 1000), at quality 62 with 4:4:4 and at the level-2 settings.\n%s",
                  kJpegOptionHelp);
      return a == "--help" ? 0 : 2;
    }
  }
  if (width == 0 || height == 0 || width > SyntheticSource::kMaxEdge || height > SyntheticSource::kMaxEdge ||
      maxThreads == 0 || maxThreads > 64 || millis <= 0) {
    std::fprintf(stderr, "bench encode: size, thread count or time out of range\n");
    return 2;
  }
  SetLogToDebugOutput(false);  // the table is the output
  ComApartment apartment;
  struct Setting {
    const char* name;
    EncodeSettings settings;
  };
  const Setting settings[] = {{"level 0", EncodeSettingsForLevel(62, false, 0)},
                              {"level 2", EncodeSettingsForLevel(62, false, 2)}};
  std::printf("tile encoding, %ux%u synthetic desktop, %u ms per row, %s\n", width, height,
              static_cast<unsigned>(millis), jpeg == JpegCodecChoice::Wic ? "imaging component (wic)" : "libjpeg-turbo");
  std::printf("%-8s %-20s %7s %10s %10s %10s\n", "workload", "settings", "threads", "tiles/s", "MP/s", "bytes/tile");
  for (SyntheticWorkload workload : kAllSyntheticWorkloads) {
    SyntheticOptions options;
    options.width = width;
    options.height = height;
    options.workload = workload;
    ScreenCapture capture(std::make_unique<SyntheticSource>(options));
    std::wstring error;
    if (!capture.Open(0, error)) {
      std::fprintf(stderr, "bench encode: %ls\n", error.c_str());
      return 1;
    }
    for (const Setting& s : settings) {
      char settingsText[40];
      std::snprintf(settingsText, sizeof(settingsText), "%s: q%u %s", s.name, s.settings.quality,
                    s.settings.subsample420 ? "4:2:0" : "4:4:4");
      for (std::uint32_t threads = 1; threads <= maxThreads; ++threads) {
        TileEncoderPool pool(JpegEncoderFactoryFor(jpeg));
        if (!pool.Build(threads, width, height, error)) {
          std::fprintf(stderr, "bench encode: %ls\n", error.c_str());
          return 1;
        }
        Row row;
        if (!RunWorkload(capture, pool, workload, 1, s.settings, millis, row)) {
          std::fprintf(stderr, "bench encode: the capture failed\n");
          return 1;
        }
        const double seconds = std::max(1e-6, static_cast<double>(row.micros) / 1e6);
        std::printf("%-8s %-20s %7zu %10.0f %10.1f %10.0f\n", SyntheticWorkloadName(workload), settingsText,
                    pool.encoderCount(), row.tiles / seconds, row.pixels / seconds / 1e6,
                    row.tiles ? static_cast<double>(row.bytes) / row.tiles : 0.0);
      }
    }
  }
  return 0;
}

}  // namespace tvx::cli

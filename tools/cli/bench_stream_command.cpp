// tavrix-cli bench stream: the host engine and the viewer engine in one process, joined over
// 127.0.0.1, on each synthetic workload and screen size. For every case it prints the frames per
// second the viewer applied, the traffic, each engine's processor time per frame and the delay
// from a tile changing on the host to it being applied in the viewer's framebuffer.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "jpeg_option.h"
#include "foundation/clock.h"
#include "foundation/com_apartment.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "host/access_codes.h"
#include "host/server.h"
#include "marked_source.h"
#include "media/synthetic_source.h"
#include "net/connection.h"
#include "net/picture_messages.h"
#include "net/socket_api.h"
#include "stream_marker.h"
#include "viewer/viewer_client.h"

namespace tvx::cli {
namespace {

constexpr const char* kUsage =
    "usage: tavrix-cli bench stream [--seconds N] [--sizes LIST] [--workloads LIST] [--quality Q]\n"
    "                               [--fps F] [--jpeg turbo|wic] [--no-marker] [--json] [--verbose]\n"
    "\n"
    "Runs a host and a viewer in this process, joined over 127.0.0.1, sharing a synthetic screen.\n"
    "For each size and workload it warms up until the viewer has the first picture and one more\n"
    "second has passed, measures for N seconds and prints one row:\n"
    "  fps          frames the viewer applied per second\n"
    "  kbit/s, B/frame, tiles/f   picture traffic as received (tile frames with their headers)\n"
    "  host ms/f, view ms/f       processor time of each engine's threads per applied frame\n"
    "  host %, view %             the same as a share of one processor\n"
    "  lat med, lat p95           ms from a tile changing on the host to it being applied in the\n"
    "                             viewer's framebuffer (median and 95th percentile)\n"
    "  lvl          the highest picture level the host chose while measuring\n"
    "Each new host frame also changes one marker tile that carries the frame number; its bytes are\n"
    "included (--no-marker leaves it out, and the latency with it).\n"
    "\n"
    "  --seconds N        measuring time per case, 1 to 600 (default 5)\n"
    "  --sizes LIST       comma-separated: 720p, 1080p, 1440p, 4k or WIDTHxHEIGHT (default 1080p,4k)\n"
    "  --workloads LIST   comma-separated: static, typing, scroll, video (default all)\n"
    "  --quality Q        JPEG quality 5 to 100 (default 62)\n"
    "  --fps F            the host's frame rate 1 to 75 (default 30)\n"
    "  --jpeg turbo|wic   JPEG encoder and decoder: libjpeg-turbo (default) or the imaging\n"
    "                     component's (Windows build)\n"
    "  --no-marker        no marker tile and no latency figures\n"
    "  --json             one JSON line per case instead of the table\n"
    "  --verbose          the engines' log on stderr (otherwise only warnings and errors)\n";

constexpr std::int64_t kWarmUpLimitMicros = 30'000'000;  // for the first picture
constexpr std::int64_t kSettleMicros = 1'000'000;        // after it, before measuring
constexpr std::uint32_t kMinEdge = 256;
// What the wire adds to the JPEG bytes: a frame header and the tile frame's own header per frame,
// an entry header per tile.
constexpr std::uint64_t kBytesPerFrame = kFrameHeaderSize + kTileFrameHeaderSize;
constexpr std::uint64_t kBytesPerTile = kTileEntryHeaderSize;

struct ScreenSize {
  std::string name;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct StreamOptions {
  int seconds = 5;
  std::vector<ScreenSize> sizes;
  std::vector<SyntheticWorkload> workloads;
  std::uint8_t quality = 62;
  std::uint8_t frameRate = 30;
  JpegCodecChoice jpeg = JpegCodecChoice::Turbo;
  bool marker = true;
  bool json = false;
  bool verbose = false;
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

bool ParseScreenSize(const std::string& text, ScreenSize& size) {
  static const ScreenSize kNamed[] = {
      {"720p", 1280, 720}, {"1080p", 1920, 1080}, {"1440p", 2560, 1440}, {"4k", 3840, 2160}};
  for (const ScreenSize& named : kNamed) {
    if (text == named.name) {
      size = named;
      return true;
    }
  }
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!ParseSize(text, kMinEdge, SyntheticSource::kMaxEdge, width, height)) return false;
  size = {text, width, height};
  return true;
}

// 0 when parsed, -1 after --help, else the exit code for wrong usage.
int ParseArgs(const Args& args, StreamOptions& o) {
  std::string sizes = "1080p,4k";
  std::string workloads;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    long long n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (a == "--seconds" && hasValue && ParseNumber(args[i + 1], 1, 600, n)) {
      o.seconds = static_cast<int>(n);
      ++i;
    } else if (a == "--quality" && hasValue && ParseNumber(args[i + 1], 5, 100, n)) {
      o.quality = static_cast<std::uint8_t>(n);
      ++i;
    } else if (a == "--fps" && hasValue && ParseNumber(args[i + 1], 1, 75, n)) {
      o.frameRate = static_cast<std::uint8_t>(n);
      ++i;
    } else if (a == "--jpeg") {
      if (!ParseJpegOption("bench stream", hasValue, hasValue ? args[i + 1] : std::string(), o.jpeg)) return 2;
      ++i;
    } else if (a == "--sizes" && hasValue) {
      sizes = args[++i];
    } else if (a == "--workloads" && hasValue) {
      workloads = args[++i];
    } else if (a == "--no-marker") {
      o.marker = false;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else {
      std::fprintf(stderr, "tavrix-cli bench stream: wrong or incomplete option '%s'\n", a.c_str());
      return 2;
    }
  }
  for (const std::string& item : SplitList(sizes)) {
    ScreenSize size;
    if (!ParseScreenSize(item, size)) {
      std::fprintf(stderr, "tavrix-cli bench stream: unknown size '%s' (720p, 1080p, 1440p, 4k or WxH from %u)\n",
                   item.c_str(), kMinEdge);
      return 2;
    }
    o.sizes.push_back(size);
  }
  if (workloads.empty()) {
    o.workloads.assign(std::begin(kAllSyntheticWorkloads), std::end(kAllSyntheticWorkloads));
  } else {
    for (const std::string& item : SplitList(workloads)) {
      SyntheticWorkload workload{};
      if (!ParseSyntheticWorkload(item, workload)) {
        std::fprintf(stderr, "tavrix-cli bench stream: unknown workload '%s'\n", item.c_str());
        return 2;
      }
      o.workloads.push_back(workload);
    }
  }
  return 0;
}

// The JPEG bytes and tiles the viewer's decoders are handed: the picture traffic without headers.
struct DecodeCounter {
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<std::uint64_t> tiles{0};
};

class CountingDecoder final : public JpegDecoder {
 public:
  CountingDecoder(std::unique_ptr<JpegDecoder> inner, std::shared_ptr<DecodeCounter> counter)
      : inner_(std::move(inner)), counter_(std::move(counter)) {}

  JpegDecodeResult Decode(const std::uint8_t* jpeg, std::size_t size, std::uint32_t maxWidth, std::uint32_t maxHeight,
                          std::vector<std::uint8_t>& bgr, std::uint32_t& width, std::uint32_t& height) override {
    counter_->bytes += size;
    counter_->tiles += 1;
    return inner_->Decode(jpeg, size, maxWidth, maxHeight, bgr, width, height);
  }

 private:
  std::unique_ptr<JpegDecoder> inner_;
  std::shared_ptr<DecodeCounter> counter_;
};

// What the viewer side sees: the frames it applied and the markers they carried. Its OnEvent runs
// on the viewer's picture thread right after a frame was applied.
class ViewerProbe {
 public:
  ViewerProbe(std::shared_ptr<MarkerLog> log, const MarkerPlace& place, std::uint32_t width, std::uint32_t height)
      : log_(std::move(log)), place_(place), width_(width), height_(height) {}

  void Attach(Framebuffer* framebuffer) { framebuffer_ = framebuffer; }

  void OnEvent(ClientEvent event, const std::wstring& text) {
    switch (event) {
      case ClientEvent::Frame:
        OnFrame();
        break;
      case ClientEvent::Refused:
      case ClientEvent::Failed:
      case ClientEvent::Ended:
      case ClientEvent::EndedByHost: {
        std::lock_guard lock(mutex_);
        ended_ = true;
        endText_ = text;
        changed_.notify_all();
        break;
      }
      default:
        break;
    }
  }

  // Until the first picture is in the framebuffer (with its marker when there is one). False when
  // the session ended first or it took too long; `reason` then says why.
  bool WaitForPicture(std::int64_t timeoutMicros, std::wstring& reason) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::microseconds(timeoutMicros), [this] { return picture_ || ended_; });
    if (picture_) return true;
    reason = ended_ ? L"the viewer's session ended: " + endText_
                    : FormatText(L"no picture arrived within %lld s", static_cast<long long>(timeoutMicros / 1000000));
    return false;
  }

  bool Ended(std::wstring& reason) {
    std::lock_guard lock(mutex_);
    if (ended_) reason = L"the viewer's session ended: " + endText_;
    return ended_;
  }

  void Measure(bool on) {
    std::lock_guard lock(mutex_);
    measuring_ = on;
  }

  std::uint64_t frames() const { return frames_.load(); }

  std::vector<std::int64_t> Latencies() {
    std::lock_guard lock(mutex_);
    return latencies_;
  }

 private:
  void OnFrame() {
    frames_ += 1;
    std::uint32_t sequence = 0;
    bool marked = false;
    if (place_.Valid() && framebuffer_ != nullptr) {
      auto frameLock = framebuffer_->Lock();
      if (framebuffer_->width() == width_ && framebuffer_->height() == height_ && framebuffer_->HasPicture()) {
        marked = ReadMarker(framebuffer_->pixels().data(), framebuffer_->stride(), place_, sequence);
      }
    }
    const std::int64_t now = NowMicros();
    std::lock_guard lock(mutex_);
    if (!place_.Valid()) {
      picture_ = true;
    } else if (marked && sequence != lastSequence_) {
      lastSequence_ = sequence;
      picture_ = true;
      std::int64_t stamped = 0;
      if (measuring_ && log_->TimeOf(sequence, stamped)) latencies_.push_back(now - stamped);
    }
    changed_.notify_all();
  }

  std::shared_ptr<MarkerLog> log_;
  MarkerPlace place_;
  std::uint32_t width_;
  std::uint32_t height_;
  Framebuffer* framebuffer_ = nullptr;
  std::atomic<std::uint64_t> frames_{0};

  std::mutex mutex_;
  std::condition_variable changed_;
  bool picture_ = false;
  bool ended_ = false;
  std::wstring endText_;
  bool measuring_ = false;
  std::uint32_t lastSequence_ = 0;
  std::vector<std::int64_t> latencies_;
};

struct CaseResult {
  std::string size;
  std::string workload;
  double seconds = 0;
  std::uint64_t frames = 0;
  std::uint64_t wireBytes = 0;
  std::uint64_t tiles = 0;
  std::int64_t hostCpuMicros = 0;
  std::int64_t viewerCpuMicros = 0;
  std::vector<std::int64_t> latencies;  // sorted
  std::uint32_t level = 0;
};

// Nearest rank: the smallest sample with at least `percent` of the samples at or below it.
double PercentileMs(const std::vector<std::int64_t>& sorted, int percent) {
  if (sorted.empty()) return 0;
  std::size_t rank = (sorted.size() * static_cast<std::size_t>(percent) + 99) / 100;
  rank = std::clamp<std::size_t>(rank, 1, sorted.size());
  return sorted[rank - 1] / 1000.0;
}

// The snapshot both ends of the measuring window take.
struct Counters {
  std::int64_t micros = 0;
  std::uint64_t frames = 0;
  std::uint64_t jpegBytes = 0;
  std::uint64_t tiles = 0;
  std::int64_t hostCpu = 0;
  std::int64_t viewerCpu = 0;
};

bool RunCase(const StreamOptions& o, const ScreenSize& size, SyntheticWorkload workload, CaseResult& result,
             std::wstring& error) {
  result.size = std::to_string(size.width) + "x" + std::to_string(size.height);
  result.workload = SyntheticWorkloadName(workload);

  auto log = std::make_shared<MarkerLog>();
  const MarkerPlace place = o.marker ? MarkerPlaceFor(size.width, size.height) : MarkerPlace{};
  SyntheticOptions synthetic;
  synthetic.width = size.width;
  synthetic.height = size.height;
  synthetic.workload = workload;
  synthetic.waitWhenIdle = true;  // an unchanged screen makes the host wait, as a real one does

  ServerDependencies deps;
  deps.encoderFactory = JpegEncoderFactoryFor(o.jpeg);
  const bool marker = o.marker;
  deps.makeCapture = [synthetic, log, marker] {
    std::unique_ptr<CaptureSource> source = std::make_unique<SyntheticSource>(synthetic);
    if (marker) source = std::make_unique<MarkedSource>(std::move(source), log);
    return std::make_unique<ScreenCapture>(std::move(source));
  };
  deps.monitors = [] { return std::vector<MonitorInfo>{}; };
  std::mutex statusMutex;  // before the server: its handler may run until the server is gone
  std::wstring hostStatus;
  Server server(std::move(deps));
  server.SetEventHandler([&](ServerEvent event, const std::wstring& text) {
    if (event != ServerEvent::Status) return;
    std::lock_guard lock(statusMutex);
    hostStatus = text;
  });

  ShareOptions share;
  share.port = 0;
  share.listenOn = ListenScope::kLoopback;  // the viewer is in this process
  share.code = MakeAccessCode();
  share.maxViewers = 1;
  share.quality = o.quality;
  share.frameRate = o.frameRate;
  if (!server.Start(share, error)) {
    error = L"the host could not start: " + error;
    return false;
  }

  auto counter = std::make_shared<DecodeCounter>();
  ViewerClient::Options viewerOptions;
  viewerOptions.decoders = [counter, makeDecoder = JpegDecoderFactoryFor(o.jpeg)](
                               std::wstring& detail) -> std::unique_ptr<JpegDecoder> {
    std::unique_ptr<JpegDecoder> inner = makeDecoder(detail);
    if (!inner) return nullptr;
    return std::make_unique<CountingDecoder>(std::move(inner), counter);
  };
  ViewerProbe probe(log, place, size.width, size.height);
  ViewerClient client(viewerOptions);
  probe.Attach(&client.framebuffer());
  client.SetEventHandler([&probe](ClientEvent event, const std::wstring& text) { probe.OnEvent(event, text); });
  client.Connect(L"127.0.0.1", server.port(), share.code, L"bench", "");

  const auto stopBoth = [&] {
    client.Stop();
    server.Stop();
  };
  if (!probe.WaitForPicture(kWarmUpLimitMicros, error)) {
    std::lock_guard lock(statusMutex);
    if (!hostStatus.empty()) error += L" (host: " + hostStatus + L")";
    stopBoth();
    return false;
  }
  SleepUntil(NowMicros() + kSettleMicros);

  const auto snapshot = [&] {
    Counters c;
    c.micros = NowMicros();
    c.frames = probe.frames();
    c.jpegBytes = counter->bytes.load();
    c.tiles = counter->tiles.load();
    c.hostCpu = server.Statistics().threadCpuMicros;
    c.viewerCpu = client.Stats().threadCpuMicros;
    return c;
  };
  probe.Measure(true);
  const Counters start = snapshot();
  const std::int64_t end = start.micros + static_cast<std::int64_t>(o.seconds) * 1000000;
  std::uint32_t level = server.pictureLevel();
  bool ended = false;
  while (NowMicros() < end && !(ended = probe.Ended(error))) {
    SleepUntil(std::min(end, NowMicros() + 50000));
    level = std::max(level, server.pictureLevel());
  }
  const Counters finish = snapshot();
  probe.Measure(false);
  stopBoth();
  if (ended) return false;

  result.seconds = (finish.micros - start.micros) / 1e6;
  result.frames = finish.frames - start.frames;
  result.tiles = finish.tiles - start.tiles;
  result.wireBytes = (finish.jpegBytes - start.jpegBytes) + result.tiles * kBytesPerTile + result.frames * kBytesPerFrame;
  result.hostCpuMicros = finish.hostCpu - start.hostCpu;
  result.viewerCpuMicros = finish.viewerCpu - start.viewerCpu;
  result.latencies = probe.Latencies();
  std::sort(result.latencies.begin(), result.latencies.end());
  result.level = level;
  return true;
}

// Figures of one row; per-frame ones are absent when no frame arrived.
struct RowFigures {
  double fps = 0;
  double kbps = 0;
  std::optional<double> bytesPerFrame, tilesPerFrame, hostMsPerFrame, viewerMsPerFrame;
  double hostPercent = 0;
  double viewerPercent = 0;
  std::optional<double> latencyMedian, latencyP95;
};

RowFigures Figures(const CaseResult& r) {
  RowFigures f;
  const double seconds = std::max(r.seconds, 1e-6);
  f.fps = r.frames / seconds;
  f.kbps = r.wireBytes * 8.0 / 1000.0 / seconds;
  if (r.frames > 0) {
    f.bytesPerFrame = static_cast<double>(r.wireBytes) / r.frames;
    f.tilesPerFrame = static_cast<double>(r.tiles) / r.frames;
    f.hostMsPerFrame = r.hostCpuMicros / 1000.0 / r.frames;
    f.viewerMsPerFrame = r.viewerCpuMicros / 1000.0 / r.frames;
  }
  f.hostPercent = r.hostCpuMicros / 1e4 / seconds;
  f.viewerPercent = r.viewerCpuMicros / 1e4 / seconds;
  if (!r.latencies.empty()) {
    f.latencyMedian = PercentileMs(r.latencies, 50);
    f.latencyP95 = PercentileMs(r.latencies, 95);
  }
  return f;
}

std::string Cell(const std::optional<double>& value, int width, int decimals) {
  char text[64];
  if (value) {
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, *value);
  } else {
    std::snprintf(text, sizeof text, "%*s", width, "-");
  }
  return text;
}

std::string JsonNumber(const std::optional<double>& value, int decimals) {
  if (!value) return "null";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, *value);
  return text;
}

void PrintHeader(const StreamOptions& o) {
  std::printf("bench stream: host and viewer over 127.0.0.1, %d s per case, quality %u, %u fps, %s%s\n", o.seconds,
              static_cast<unsigned>(o.quality), static_cast<unsigned>(o.frameRate),
              o.jpeg == JpegCodecChoice::Wic ? "imaging component (wic)" : "libjpeg-turbo",
              o.marker ? "" : ", no marker tile");
  std::printf("%-10s %-8s %6s %8s %8s %7s %9s %9s %6s %6s %7s %7s %3s\n", "size", "workload", "fps", "kbit/s",
              "B/frame", "tiles/f", "host ms/f", "view ms/f", "host %", "view %", "lat med", "lat p95", "lvl");
}

void PrintRow(const CaseResult& r) {
  const RowFigures f = Figures(r);
  std::printf("%-10s %-8s %6.1f %8.0f %s %s %s %s %6.1f %6.1f %s %s %3u\n", r.size.c_str(), r.workload.c_str(), f.fps,
              f.kbps, Cell(f.bytesPerFrame, 8, 0).c_str(), Cell(f.tilesPerFrame, 7, 1).c_str(),
              Cell(f.hostMsPerFrame, 9, 2).c_str(), Cell(f.viewerMsPerFrame, 9, 2).c_str(), f.hostPercent,
              f.viewerPercent, Cell(f.latencyMedian, 7, 1).c_str(), Cell(f.latencyP95, 7, 1).c_str(), r.level);
}

void PrintJson(const CaseResult& r) {
  const RowFigures f = Figures(r);
  std::printf("{\"size\":%s,\"workload\":%s,\"seconds\":%.3f,\"frames\":%llu,\"fps\":%.2f,\"kbps\":%.1f,"
              "\"bytesPerFrame\":%s,\"tilesPerFrame\":%s,\"hostCpuMsPerFrame\":%s,\"viewerCpuMsPerFrame\":%s,"
              "\"hostCpuPercent\":%.2f,\"viewerCpuPercent\":%.2f,\"latencyMedianMs\":%s,\"latencyP95Ms\":%s,"
              "\"latencySamples\":%zu,\"pictureLevel\":%u}\n",
              JsonString(r.size).c_str(), JsonString(r.workload).c_str(), r.seconds,
              static_cast<unsigned long long>(r.frames), f.fps, f.kbps, JsonNumber(f.bytesPerFrame, 1).c_str(),
              JsonNumber(f.tilesPerFrame, 2).c_str(), JsonNumber(f.hostMsPerFrame, 3).c_str(),
              JsonNumber(f.viewerMsPerFrame, 3).c_str(), f.hostPercent, f.viewerPercent,
              JsonNumber(f.latencyMedian, 2).c_str(), JsonNumber(f.latencyP95, 2).c_str(), r.latencies.size(),
              r.level);
}

}  // namespace

int RunBenchStream(const Args& args) {
  StreamOptions o;
  const int parsed = ParseArgs(args, o);
  if (parsed == -1) return 0;
  if (parsed != 0) return parsed;

  SetLogToDebugOutput(false);
  const bool verbose = o.verbose;
  SetLogObserver([verbose](std::uint32_t level, const std::wstring& message) {
    if (!verbose && level < kLogWarning) return;
    const std::string line = WideToUtf8(FormatText(L"%s %s\n", LogLevelName(level), message));
    std::fwrite(line.data(), 1, line.size(), stderr);
  });
  sock::NetworkInit network;
  ComApartment apartment;
  if (!network.ok()) {
    std::fprintf(stderr, "tavrix-cli bench stream: the socket library did not start\n");
    SetLogObserver({});
    return 1;
  }

  if (!o.json) PrintHeader(o);
  std::fflush(stdout);
  int failures = 0;
  for (const ScreenSize& size : o.sizes) {
    for (SyntheticWorkload workload : o.workloads) {
      CaseResult result;
      std::wstring error;
      if (!RunCase(o, size, workload, result, error)) {
        std::fprintf(stderr, "tavrix-cli bench stream: %ux%u %s: %s\n", size.width, size.height,
                     SyntheticWorkloadName(workload), WideToUtf8(error).c_str());
        ++failures;
      } else if (o.json) {
        PrintJson(result);
      } else {
        PrintRow(result);
      }
      std::fflush(stdout);
    }
  }
  SetLogObserver({});
  return failures == 0 ? 0 : 1;
}

}  // namespace tvx::cli

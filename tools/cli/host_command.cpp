// tavrix-cli host: runs the host engine without a window, printing its events and statistics as
// JSON lines on stdout and its log on stderr.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "cli_text.h"
#include "commands.h"
#include "host_overlay.h"
#include "jpeg_option.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/clock.h"
#include "host/server.h"
#include "foundation/com_apartment.h"
#include "media/annotation_store.h"
#include "media/input_event_json.h"
#include "media/recording_input_sink.h"
#include "media/synthetic_source.h"
#include "net/socket_api.h"

namespace tvx::cli {
namespace {

const char kHostUsage[] =
    "usage: tavrix-cli host [OPTIONS]\n"
    "\n"
    "Shares a screen without a window until stdin closes, Ctrl+C, or --duration has passed.\n"
    "Prints every engine event as a JSON line ({\"event\":...,\"text\":...}), the statistics once\n"
    "a second ({\"stats\":{...}}) and the viewers' pointers and drawings whenever they change, at\n"
    "most 10 times a second ({\"annotations\":{\"pointers\":N,\"drawings\":N,\"previews\":N,\"pings\":N}})\n"
    "on stdout; with --input log also every input event ({\"input\":...}). The log goes to stderr.\n"
    "Exit code 0 after a clean stop, 1 when sharing could not start, 2 for wrong usage.\n"
    "\n"
    "  --port N              TCP port to listen on (default 7788; 0 picks a free one)\n"
    "  --loopback            listen on 127.0.0.1 only (default: every address)\n"
    "  --code CODE           access code viewers must give (default: any code)\n"
    "  --max-viewers N       viewer limit, 1 to 8 (default 4)\n"
    "  --quality Q           JPEG quality 5 to 100 (default 62)\n"
    "  --fps F               frames per second 1 to 75 (default 30)\n"
    "  --half                half resolution\n"
    "  --compress-colour     4:2:0 colour\n"
    "  --allow-control       allow remote control\n"
    "  --input log|inject    'inject' sends viewers' input to this desktop; 'log' prints each event\n"
    "                        as a JSON line instead (default: inject on Windows, log elsewhere)\n"
    "  --share-clipboard     share the clipboard\n"
    "  --share-audio         share the sound\n"
    "  --monitor N           index of the monitor to share (default 0)\n"
    "  --shared-screens MASK monitors viewers may pick, bit i for monitor i, decimal or 0x hex\n"
    "                        (default: all)\n"
    "  --source SOURCE       'screen' (default) or synthetic:WIDTHxHEIGHT[:static|typing|scroll|video]\n"
    "  --relay HOST[:PORT]   relay server (its port defaults to the sharing port)\n"
    "  --id ID               this host's relay ID\n"
    "  --duration SECONDS    stop after this long (stdin is then not watched)\n"
    "  --overlay             paint the viewers' pointers and drawings over the shared screen, as the\n"
    "                        home window does (Windows build, with a display)\n"
    "  --overlay-dump FILE   with --overlay: write the overlay's surface to FILE as a 32-bit BMP\n"
    "                        (premultiplied BGRA) at exit and whenever stdin gives the line 'dump'\n"
    "                        (then prints {\"overlayDump\":FILE})\n"
    "  --jpeg turbo|wic      JPEG encoder: libjpeg-turbo (default) or the imaging component's (Windows)\n";

std::atomic<bool> gStop{false};
std::atomic<bool> gDumpRequested{false};
std::atomic<bool> gScreensChanged{false};

void OnSignal(int) { gStop.store(true); }

bool ParseSynthetic(const std::string& text, SyntheticOptions& out) {
  // WIDTHxHEIGHT[:WORKLOAD]
  const std::size_t colon = text.find(':');
  const std::string size = text.substr(0, colon);
  if (!ParseSize(size, 1, SyntheticSource::kMaxEdge, out.width, out.height)) return false;
  out.workload = SyntheticWorkload::Static;
  out.waitWhenIdle = true;
  if (colon != std::string::npos && !ParseSyntheticWorkload(text.substr(colon + 1), out.workload)) return false;
  return true;
}

std::mutex gOutput;

void PrintLine(const std::string& line) {
  std::lock_guard lock(gOutput);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// A u32 in decimal or, with 0x in front, in hex.
bool ParseMask(const std::string& text, std::uint32_t& out) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (value > 0xFFFFFFFFull) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

// The system's keyboard layout and monitors, but no cursor: in log mode nothing moves the cursor,
// so watching it would take every logged move for the person at the host moving the mouse and hold
// remote input back. With a synthetic screen the monitors are left out too: that screen is the
// whole desktop.
class LoggedInputPlatform final : public InputPlatform {
 public:
  LoggedInputPlatform(std::unique_ptr<InputPlatform> system, bool systemMonitors)
      : system_(std::move(system)), systemMonitors_(systemMonitors) {}
  std::uint16_t ScanCodeForKey(std::uint16_t vk) override { return system_->ScanCodeForKey(vk); }
  bool CursorPosition(CursorPoint&) override { return false; }
  std::vector<Rect> MonitorRects() override { return systemMonitors_ ? system_->MonitorRects() : std::vector<Rect>{}; }
  Rect SystemVirtualScreen() override { return systemMonitors_ ? system_->SystemVirtualScreen() : Rect{}; }

 private:
  std::unique_ptr<InputPlatform> system_;
  bool systemMonitors_;
};

std::string AnnotationsLine(const AnnotationCounts& c) {
  char line[160];
  std::snprintf(line, sizeof line, "{\"annotations\":{\"pointers\":%zu,\"drawings\":%zu,\"previews\":%zu,\"pings\":%zu}}",
                c.pointers, c.drawings, c.previews, c.pings);
  return line;
}

std::string StatsLine(const ServerStatistics& s, std::uint16_t port) {
  char line[320];
  std::snprintf(line, sizeof line,
                "{\"stats\":{\"running\":%s,\"port\":%u,\"viewers\":%u,\"kbps\":%u,\"fps\":%u,"
                "\"tilesPerSecond\":%u,\"latencyMs\":%u,\"pictureLevel\":%u}}",
                s.running ? "true" : "false", static_cast<unsigned>(port), s.viewers, s.kbps, s.framesPerSecond,
                s.tilesPerSecond, s.largestLatencyMs, s.pictureLevel);
  return line;
}

}  // namespace

int RunHost(const Args& args) {
  ShareOptions options;
  options.frameRate = 30;
  options.quality = 62;
  options.maxViewers = 4;
  bool synthetic = false;
  SyntheticOptions syntheticOptions;
  std::string relay;
  long long durationSeconds = -1;
  bool logInput = !SystemInputInjects();
  bool overlay = false;
  std::string overlayDump;
  JpegCodecChoice jpeg = JpegCodecChoice::Turbo;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHostUsage, stdout);
      return 0;
    }
    const bool hasValue = i + 1 < args.size();
    const std::string value = hasValue ? args[i + 1] : std::string();
    long long number = 0;
    auto numberArg = [&](long long low, long long high) {
      if (!hasValue || !ParseNumber(value, low, high, number)) {
        std::fprintf(stderr, "tavrix-cli host: %s needs a number from %lld to %lld\n", arg.c_str(), low, high);
        return false;
      }
      ++i;
      return true;
    };
    if (arg == "--port") {
      if (!numberArg(0, 65535)) return 2;
      options.port = static_cast<std::uint16_t>(number);
    } else if (arg == "--max-viewers") {
      if (!numberArg(1, 8)) return 2;
      options.maxViewers = static_cast<std::int32_t>(number);
    } else if (arg == "--quality") {
      if (!numberArg(5, 100)) return 2;
      options.quality = static_cast<std::uint8_t>(number);
    } else if (arg == "--fps") {
      if (!numberArg(1, 75)) return 2;
      options.frameRate = static_cast<std::uint8_t>(number);
    } else if (arg == "--monitor") {
      if (!numberArg(0, 1000)) return 2;
      options.monitor = static_cast<std::uint32_t>(number);
    } else if (arg == "--duration") {
      if (!numberArg(0, 86400 * 365)) return 2;
      durationSeconds = number;
    } else if (arg == "--loopback") {
      options.listenOn = ListenScope::kLoopback;
    } else if (arg == "--half") {
      options.halfResolution = true;
    } else if (arg == "--compress-colour") {
      options.compressColour = true;
    } else if (arg == "--allow-control") {
      options.allowRemoteControl = true;
    } else if (arg == "--share-clipboard") {
      options.shareClipboard = true;
    } else if (arg == "--overlay") {
      overlay = true;
    } else if (arg == "--overlay-dump") {
      if (!hasValue) {
        std::fprintf(stderr, "tavrix-cli host: --overlay-dump needs a file\n");
        return 2;
      }
      ++i;
      overlayDump = value;
    } else if (arg == "--share-audio") {
      options.shareAudio = true;
    } else if (arg == "--input") {
      if (!hasValue || (value != "log" && value != "inject")) {
        std::fprintf(stderr, "tavrix-cli host: --input takes 'log' or 'inject'\n");
        return 2;
      }
      ++i;
      logInput = value == "log";
    } else if (arg == "--jpeg") {
      if (!ParseJpegOption("host", hasValue, value, jpeg)) return 2;
      ++i;
    } else if (arg == "--shared-screens") {
      if (!hasValue || !ParseMask(value, options.allowedMonitors)) {
        std::fprintf(stderr, "tavrix-cli host: --shared-screens takes a mask from 0 to 0xFFFFFFFF\n");
        return 2;
      }
      ++i;
    } else if (arg == "--code" || arg == "--source" || arg == "--relay" || arg == "--id") {
      if (!hasValue) {
        std::fprintf(stderr, "tavrix-cli host: %s needs a value\n", arg.c_str());
        return 2;
      }
      ++i;
      if (arg == "--code") {
        options.code = value;
      } else if (arg == "--relay") {
        relay = value;
      } else if (arg == "--id") {
        options.id = value;
      } else if (value == "screen") {
        synthetic = false;
      } else if (value.rfind("synthetic:", 0) == 0 && ParseSynthetic(value.substr(10), syntheticOptions)) {
        synthetic = true;
      } else {
        std::fprintf(stderr, "tavrix-cli host: --source takes 'screen' or synthetic:WIDTHxHEIGHT[:WORKLOAD]\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "tavrix-cli host: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }
  if (!overlayDump.empty() && !overlay) {
    std::fprintf(stderr, "tavrix-cli host: --overlay-dump needs --overlay\n");
    return 2;
  }
  if (!relay.empty()) {
    // HOST[:PORT]; an IPv6 address is given in brackets when it carries a port.
    options.relayPort = options.port;
    std::string host = relay;
    const std::size_t colon = relay.rfind(':');
    const bool bracketed = !relay.empty() && relay.front() == '[';
    if (colon != std::string::npos && (bracketed ? relay.find(']') < colon : relay.find(':') == colon)) {
      long long port = 0;
      if (!ParseNumber(relay.substr(colon + 1), 1, 65535, port)) {
        std::fprintf(stderr, "tavrix-cli host: --relay takes HOST[:PORT]\n");
        return 2;
      }
      options.relayPort = static_cast<std::uint16_t>(port);
      host = relay.substr(0, colon);
    }
    if (bracketed && host.size() >= 2 && host.back() == ']') host = host.substr(1, host.size() - 2);
    options.relayServer = host;
  }

  SetLogToDebugOutput(false);
  SetLogObserver([](std::uint32_t level, const std::wstring& message) {
    const std::string line = WideToUtf8(FormatText(L"%s %s\n", LogLevelName(level), message));
    std::fwrite(line.data(), 1, line.size(), stderr);
  });

  sock::NetworkInit network;
  ComApartment apartment;

  ServerDependencies deps;
  deps.encoderFactory = JpegEncoderFactoryFor(jpeg);
  if (synthetic) {
    deps.makeCapture = [syntheticOptions] {
      return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(syntheticOptions));
    };
    deps.monitors = [] { return std::vector<MonitorInfo>{}; };
  }
  if (logInput) {
    // Kept nowhere: each event is printed as it would have been sent.
    deps.inputSink = std::make_shared<RecordingInputSink>(0, [](const InputEvent& event) {
      PrintLine(InputEventJson(event));
    });
    deps.inputPlatform = std::make_shared<LoggedInputPlatform>(CreateSystemInputPlatform(), !synthetic);
  }
  Server server(std::move(deps));
  server.SetEventHandler([](ServerEvent event, const std::wstring& text) {
    if (event == ServerEvent::ScreensChanged) gScreensChanged.store(true);
    PrintLine(std::string("{\"event\":") + JsonString(ServerEventName(event)) + ",\"text\":" +
              JsonString(WideToUtf8(text)) + "}");
  });

  std::wstring error;
  if (!server.Start(options, error)) {
    std::fprintf(stderr, "Could not start: %s\n", WideToUtf8(error).c_str());
    SetLogObserver({});
    return 1;
  }

  HostOverlay overlayWindow;
  // The overlay covers the shared monitor; a synthetic screen sits at the desktop's origin.
  const auto overlayScreen = [&] {
    return synthetic ? Rect{0, 0, static_cast<std::int32_t>(syntheticOptions.width),
                            static_cast<std::int32_t>(syntheticOptions.height)}
                     : MonitorScreen(server.Options().monitor);
  };
  if (overlay && !overlayWindow.Start(overlayScreen(), error)) {
    std::fprintf(stderr, "Overlay unavailable: %s\n", WideToUtf8(error).c_str());
    server.Stop();
    SetLogObserver({});
    return 1;
  }
  const auto dumpOverlay = [&] {
    std::wstring dumpError;
    if (overlayWindow.Dump(overlayDump, dumpError)) {
      PrintLine("{\"overlayDump\":" + JsonString(overlayDump) + "}");
    } else {
      std::fprintf(stderr, "Overlay dump failed: %s\n", WideToUtf8(dumpError).c_str());
    }
  };

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (durationSeconds < 0) {
    // Ends the run when stdin closes; never joined, as a read cannot be interrupted portably.
    std::thread([] {
      std::string line;
      for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c != '\n') {
          if (c != '\r' && line.size() < 64) line.push_back(static_cast<char>(c));
          continue;
        }
        if (line == "dump") gDumpRequested.store(true);
        line.clear();
      }
      gStop.store(true);
    }).detach();
  }

  const auto start = std::chrono::steady_clock::now();
  auto nextStats = start + std::chrono::seconds(1);
  auto nextAnnotations = start;
  std::uint64_t annotationsShown = server.annotations().changeCounter();
  std::wstring relayStatus;
  while (!gStop.load()) {
    if (const std::wstring status = server.RelayStatus(); status != relayStatus) {
      relayStatus = status;
      PrintLine("{\"relay\":" + JsonString(WideToUtf8(status)) + "}");
    }
    const auto now = std::chrono::steady_clock::now();
    if (durationSeconds >= 0 && now - start >= std::chrono::seconds(durationSeconds)) break;
    if (now >= nextStats) {
      nextStats += std::chrono::seconds(1);
      PrintLine(StatsLine(server.Statistics(), server.port()));
    }
    // What the overlay would show: aged as the home window ages it, printed when it changes.
    AnnotationStore& annotations = server.annotations();
    annotations.Expire(static_cast<std::uint64_t>(NowMicros() / 1000));
    if (now >= nextAnnotations && annotations.changeCounter() != annotationsShown) {
      annotationsShown = annotations.changeCounter();
      nextAnnotations = now + std::chrono::milliseconds(100);
      PrintLine(AnnotationsLine(annotations.Counts()));
    }
    if (overlay) {
      if (gScreensChanged.exchange(false)) overlayWindow.SetScreen(overlayScreen());
      overlayWindow.Tick(annotations, static_cast<std::uint64_t>(NowMicros() / 1000));
      if (!overlayDump.empty() && gDumpRequested.exchange(false)) dumpOverlay();
    }
    // The overlay is painted about every 5 ms while sharing, as the home window paints it.
    std::this_thread::sleep_for(std::chrono::milliseconds(overlay ? 5 : 20));
  }
  if (overlay) {
    overlayWindow.Tick(server.annotations(), static_cast<std::uint64_t>(NowMicros() / 1000));
    if (!overlayDump.empty()) dumpOverlay();
    overlayWindow.Stop();
  }
  server.Stop();
  SetLogObserver({});
  return 0;
}

}  // namespace tvx::cli

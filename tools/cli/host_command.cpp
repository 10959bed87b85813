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
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "host/server.h"
#include "foundation/com_apartment.h"
#include "media/synthetic_source.h"
#include "net/socket_api.h"

namespace tvx::cli {
namespace {

const char kHostUsage[] =
    "usage: tavrix-cli host [OPTIONS]\n"
    "\n"
    "Shares a screen without a window until stdin closes, Ctrl+C, or --duration has passed.\n"
    "Prints every engine event as a JSON line ({\"event\":...,\"text\":...}) and the statistics once\n"
    "a second ({\"stats\":{...}}) on stdout; the log goes to stderr. Exit code 0 after a clean stop,\n"
    "1 when sharing could not start, 2 for wrong usage.\n"
    "\n"
    "  --port N              TCP port to listen on (default 7788; 0 picks a free one)\n"
    "  --code CODE           access code viewers must give (default: any code)\n"
    "  --max-viewers N       viewer limit, 1 to 8 (default 4)\n"
    "  --quality Q           JPEG quality 5 to 100 (default 62)\n"
    "  --fps F               frames per second 1 to 75 (default 30)\n"
    "  --half                half resolution\n"
    "  --compress-colour     4:2:0 colour\n"
    "  --allow-control       allow remote control\n"
    "  --share-clipboard     share the clipboard\n"
    "  --share-audio         share the sound\n"
    "  --monitor N           index of the monitor to share (default 0)\n"
    "  --source SOURCE       'screen' (default) or synthetic:WIDTHxHEIGHT[:static|typing|scroll|video]\n"
    "  --relay HOST[:PORT]   relay server (its port defaults to the sharing port)\n"
    "  --id ID               this host's relay ID\n"
    "  --duration SECONDS    stop after this long (stdin is then not watched)\n";

std::atomic<bool> gStop{false};

void OnSignal(int) { gStop.store(true); }

bool ParseSynthetic(const std::string& text, SyntheticOptions& out) {
  // WIDTHxHEIGHT[:WORKLOAD]
  const std::size_t colon = text.find(':');
  const std::string size = text.substr(0, colon);
  const std::size_t x = size.find('x');
  if (x == std::string::npos) return false;
  long long width = 0;
  long long height = 0;
  if (!ParseNumber(size.substr(0, x), 1, SyntheticSource::kMaxEdge, width) ||
      !ParseNumber(size.substr(x + 1), 1, SyntheticSource::kMaxEdge, height)) {
    return false;
  }
  out.width = static_cast<std::uint32_t>(width);
  out.height = static_cast<std::uint32_t>(height);
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
    } else if (arg == "--half") {
      options.halfResolution = true;
    } else if (arg == "--compress-colour") {
      options.compressColour = true;
    } else if (arg == "--allow-control") {
      options.allowRemoteControl = true;
    } else if (arg == "--share-clipboard") {
      options.shareClipboard = true;
    } else if (arg == "--share-audio") {
      options.shareAudio = true;
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
  if (synthetic) {
    deps.makeCapture = [syntheticOptions] {
      return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(syntheticOptions));
    };
    deps.monitors = [] { return std::vector<MonitorInfo>{}; };
  }
  Server server(std::move(deps));
  server.SetEventHandler([](ServerEvent event, const std::wstring& text) {
    PrintLine(std::string("{\"event\":") + JsonString(ServerEventName(event)) + ",\"text\":" +
              JsonString(WideToUtf8(text)) + "}");
  });

  std::wstring error;
  if (!server.Start(options, error)) {
    std::fprintf(stderr, "Could not start: %s\n", WideToUtf8(error).c_str());
    SetLogObserver({});
    return 1;
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (durationSeconds < 0) {
    // Ends the run when stdin closes; never joined, as a read cannot be interrupted portably.
    std::thread([] {
      while (std::fgetc(stdin) != EOF) {
      }
      gStop.store(true);
    }).detach();
  }

  const auto start = std::chrono::steady_clock::now();
  auto nextStats = start + std::chrono::seconds(1);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  server.Stop();
  SetLogObserver({});
  return 0;
}

}  // namespace tvx::cli

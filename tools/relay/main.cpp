// tavrix-relay: the relay server Tavrix users run themselves so that a viewer can reach a host
// across the internet. Both sides dial out to it; it pairs them by the host's nine-digit ID.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <asio.hpp>

#include "foundation/command_line.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "relay_descriptor_limit.h"
#include "relay_server.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: tavrix-relay [--port N] [--bind ADDRESS] [--max-connections N]\n"
               "\n"
               "  --port N             TCP port to listen on (default 7788)\n"
               "  --bind ADDRESS       listen on this address only (default: all, IPv4 and IPv6)\n"
               "  --max-connections N  connections open at once before new ones are refused (default 20000)\n"
               "\n"
               "Hosts register under their ID; viewers connect with that ID. Stop with Ctrl+C.\n");
}

bool ParseNumber(const char* text, unsigned long long max, unsigned long long* out) {
  if (text == nullptr || *text == 0) return false;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != 0 || value > max || text[0] == '-') return false;
  *out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tvx::relay::RelayOptions options;
  tvx::UseUtf8Console();
  const std::vector<std::string> args = tvx::CommandLineArguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const char* value = i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
    unsigned long long number = 0;
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--port" && ParseNumber(value, 65535, &number)) {
      options.port = static_cast<std::uint16_t>(number);
      ++i;
    } else if (arg == "--bind" && value != nullptr) {
      options.bind = value;
      ++i;
    } else if (arg == "--max-connections" && ParseNumber(value, 1000000, &number) && number > 0) {
      options.maxConnections = static_cast<std::size_t>(number);
      ++i;
    } else {
      std::fprintf(stderr, "tavrix-relay: bad option '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }

  // One line per event on stderr, whatever the platform's debugger output does.
  tvx::SetLogToDebugOutput(false);
  tvx::SetLogObserver([](std::uint32_t level, const std::wstring& message) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));  // one thread logs
    const std::string line = tvx::WideToUtf8(
        tvx::FormatText(L"%s.%03d %s %s\n", stamp, static_cast<int>(millis), tvx::LogLevelName(level), message));
    std::fwrite(line.data(), 1, line.size(), stderr);
  });

  tvx::relay::RaiseDescriptorLimit();  // every connection is a descriptor
  asio::io_context io(1);
  tvx::relay::RelayServer server(io, options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "tavrix-relay: %s\n", error.c_str());
    return 1;
  }
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code& ec, int) {
    if (ec) return;
    tvx::Log(tvx::kLogInfo, L"Stopping");
    server.Stop();
  });
  io.run();
  tvx::Log(tvx::kLogInfo, L"Relay stopped");
  return 0;
}

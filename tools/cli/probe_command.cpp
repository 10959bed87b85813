// tavrix-cli probe HOST: asks a relay server for its status, as the home window's relay list does.
#include <cstdio>
#include <string>

#include "cli_text.h"
#include "commands.h"
#include "foundation/text.h"
#include "host/relay_probe.h"
#include "net/connection.h"
#include "net/socket_api.h"

namespace tvx::cli {
namespace {

constexpr const char* kUsage =
    "usage: tavrix-cli probe HOST [--port N]\n"
    "Asks the relay server at HOST (port 7788 unless given) for its status and prints what the relay\n"
    "list shows. Exits 0 only when the relay is online.\n";

}  // namespace

int RunProbe(const Args& args) {
  std::string host;
  long long port = 7788;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--port" && i + 1 < args.size()) {
      if (!ParseNumber(args[++i], 1, 65535, port)) {
        std::fprintf(stderr, "probe: --port takes a number from 1 to 65535\n");
        return 2;
      }
    } else if (!arg.empty() && arg[0] != '-' && host.empty()) {
      host = arg;
    } else {
      std::fprintf(stderr, "probe: unexpected '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }
  if (host.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  sock::NetworkInit network;
  Connection connection;
  const RelayProbeResult result = ProbeRelay(connection, Utf8ToWide(host), static_cast<std::uint16_t>(port));
  std::printf("%s\n", WideToUtf8(RelayProbeText(result)).c_str());
  return result.state == RelayProbeResult::State::Online ? 0 : 1;
}

}  // namespace tvx::cli

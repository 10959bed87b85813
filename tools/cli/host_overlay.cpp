#include "host_overlay.h"

#include <cstdio>

#include "cli_text.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace tvx::cli {
namespace {

std::atomic<bool> gDumpRequested{false};

std::uint64_t NowMs() { return static_cast<std::uint64_t>(NowMicros() / 1000); }

}  // namespace

const char kOverlayUsage[] =
    "  --overlay             paint the viewers' pointers and drawings over the shared screen, as the\n"
    "                        home window does (Windows build, with a display)\n"
    "  --overlay-dump FILE   with --overlay: write the overlay's surface to FILE as a 32-bit BMP\n"
    "                        (premultiplied BGRA) at exit and whenever stdin gives the line 'dump'\n"
    "                        (then prints {\"overlayDump\":FILE})\n";

int ParseOverlayOption(const Args& args, std::size_t& i, OverlayOptions& options) {
  if (args[i] == "--overlay") {
    options.show = true;
    return 1;
  }
  if (args[i] != "--overlay-dump") return 0;
  if (i + 1 >= args.size()) {
    std::fprintf(stderr, "tavrix-cli host: --overlay-dump needs a file\n");
    return 2;
  }
  options.dumpPath = args[++i];
  return 1;
}

bool CheckOverlayOptions(const OverlayOptions& options) {
  if (!options.dumpPath.empty() && !options.show) {
    std::fprintf(stderr, "tavrix-cli host: --overlay-dump needs --overlay\n");
    return false;
  }
  return true;
}

void OverlayInputLine(const std::string& line) {
  if (line == "dump") gDumpRequested.store(true);
}

// The constructor and destructor are the platform files', where Window is complete.

Rect HostOverlay::SharedScreen(Server& server) const {
  return fixedScreen_.Empty() ? MonitorScreen(server.Options().monitor) : fixedScreen_;
}

bool HostOverlay::Start(Server& server, const Rect& fixedScreen) {
  if (!options_.show) return true;
  fixedScreen_ = fixedScreen;
  std::wstring error;
  if (!StartAt(SharedScreen(server), error)) {
    Log(3, L"Overlay unavailable: %s", error);
    return false;
  }
  return true;
}

void HostOverlay::OnServerEvent(ServerEvent event) {
  if (event == ServerEvent::ScreensChanged) screensChanged_.store(true);
}

void HostOverlay::Tick(Server& server) {
  if (!options_.show) return;
  if (screensChanged_.exchange(false)) SetScreen(SharedScreen(server));
  AnnotationStore& annotations = server.annotations();
  const std::uint64_t now = NowMs();
  annotations.Expire(now);
  Render(annotations.Snapshot(now), now);
  if (gDumpRequested.exchange(false)) Dump();
}

void HostOverlay::Finish(Server& server) {
  if (!options_.show) return;
  Tick(server);
  Dump();
  Stop();
}

void HostOverlay::Dump() {
  if (options_.dumpPath.empty()) return;
  std::wstring error;
  if (WriteDump(options_.dumpPath, error)) {
    print_("{\"overlayDump\":" + JsonString(options_.dumpPath) + "}");
  } else {
    std::fprintf(stderr, "Overlay dump failed: %s\n", WideToUtf8(error).c_str());
  }
}

}  // namespace tvx::cli

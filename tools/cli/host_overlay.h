// The overlay of "tavrix-cli host --overlay": the viewers' pointers and drawings painted over the
// shared screen as the home window shows them, so a kiosk or a test can have them without it; with
// --overlay-dump the overlay's surface is written to a file at exit and on request. It lives on
// the command's main thread; on systems without the overlay window it cannot start.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "commands.h"
#include "host/server.h"
#include "media/annotation_store.h"
#include "media/monitor_info.h"
#include "media/overlay_renderer.h"

namespace tvx::cli {

struct OverlayOptions {
  bool show = false;         // --overlay
  std::string dumpPath;      // --overlay-dump FILE
};

// The options' lines of "tavrix-cli host --help".
extern const char kOverlayUsage[];
// Reads the option at args[i] if it is one of the overlay's: 0 it is not, 1 taken (i is moved past
// its value), 2 wrong usage (said on stderr).
int ParseOverlayOption(const Args& args, std::size_t& i, OverlayOptions& options);
// False, after saying why on stderr, for options that do not go together.
bool CheckOverlayOptions(const OverlayOptions& options);
// A line the command read from stdin (any thread): "dump" asks for a dump.
void OverlayInputLine(const std::string& line);

class HostOverlay {
 public:
  using Print = std::function<void(const std::string& line)>;

  HostOverlay(OverlayOptions options, Print print);
  ~HostOverlay();
  HostOverlay(const HostOverlay&) = delete;
  HostOverlay& operator=(const HostOverlay&) = delete;

  // Whether the command paints the overlay (and so runs its loop every 5 ms).
  bool active() const { return options_.show; }
  // Shows the overlay over `fixedScreen` (a synthetic screen) or, when that is empty, over the
  // monitor the server shares. True without --overlay; false after logging why it cannot.
  bool Start(Server& server, const Rect& fixedScreen);
  // From the server's event handler (any thread).
  void OnServerEvent(ServerEvent event);
  // One step of the paint loop: follow the shared screen, expire, snapshot, render, dump if asked.
  void Tick(Server& server);
  // The last paint and the dump at exit; hides the overlay.
  void Finish(Server& server);

  // The platform's part, also used by the benchmark.
  bool StartAt(const Rect& screen, std::wstring& error);
  void SetScreen(const Rect& screen);
  // One render (handling the window's messages first).
  OverlayRenderOutcome Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs);
  // Writes the surface as a 32-bit BMP of premultiplied BGRA pixels.
  bool WriteDump(const std::string& path, std::wstring& error) const;
  void Stop();

 private:
  void Dump();
  Rect SharedScreen(Server& server) const;

  struct Window;
  OverlayOptions options_;
  Print print_;
  Rect fixedScreen_;
  std::atomic<bool> screensChanged_{false};
  std::unique_ptr<Window> window_;
};

// The desktop rectangle of the monitor with `index`; the primary screen's when there is no such
// monitor; empty when nothing is known.
Rect MonitorScreen(std::uint32_t index);

}  // namespace tvx::cli

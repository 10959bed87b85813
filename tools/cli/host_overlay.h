// The overlay of "tavrix-cli host --overlay": the viewers' pointers and drawings painted over the
// shared screen as the home window shows them, so a kiosk or a test can have them without it.
// It lives on the thread that made it (the command's main loop); on systems without the overlay
// window Start fails with a text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/annotation_store.h"
#include "media/monitor_info.h"
#include "media/overlay_renderer.h"

namespace tvx::cli {

class HostOverlay {
 public:
  HostOverlay();
  ~HostOverlay();
  HostOverlay(const HostOverlay&) = delete;
  HostOverlay& operator=(const HostOverlay&) = delete;

  // Makes the overlay over `screen` (desktop pixels) and shows it.
  bool Start(const Rect& screen, std::wstring& error);
  // Moves it over another screen.
  void SetScreen(const Rect& screen);
  // Expires, snapshots and renders the store at `nowMs`; handles the window's messages.
  void Tick(AnnotationStore& annotations, std::uint64_t nowMs);
  // One render of `snapshot` (what Tick does after expiring and snapshotting).
  OverlayRenderOutcome Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs);
  // Writes the surface as a 32-bit BMP of premultiplied BGRA pixels.
  bool Dump(const std::string& path, std::wstring& error) const;
  void Stop();

 private:
  struct Window;
  std::unique_ptr<Window> window_;
};

// The desktop rectangle of the monitor with `index`; the primary screen's when there is no such
// monitor; empty when nothing is known.
Rect MonitorScreen(std::uint32_t index);

}  // namespace tvx::cli

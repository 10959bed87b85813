// Only the Windows build has an overlay window.
#include "host_overlay.h"

namespace tvx::cli {

struct HostOverlay::Window {};

HostOverlay::HostOverlay(OverlayOptions options, Print print)
    : options_(std::move(options)), print_(std::move(print)) {}
HostOverlay::~HostOverlay() { Stop(); }

bool HostOverlay::StartAt(const Rect&, std::wstring& error) {
  error = L"The overlay needs the Windows build.";
  return false;
}
void HostOverlay::SetScreen(const Rect&) {}
OverlayRenderOutcome HostOverlay::Render(const AnnotationSnapshot&, std::uint64_t) {
  return OverlayRenderOutcome::NotReady;
}
bool HostOverlay::WriteDump(const std::string&, std::wstring& error) const {
  error = L"No overlay.";
  return false;
}
void HostOverlay::Stop() {}

Rect MonitorScreen(std::uint32_t) { return {}; }

}  // namespace tvx::cli

// Only the Windows build has an overlay window.
#include "host_overlay.h"

namespace tvx::cli {

struct HostOverlay::Window {};

HostOverlay::HostOverlay() = default;
HostOverlay::~HostOverlay() = default;

bool HostOverlay::Start(const Rect&, std::wstring& error) {
  error = L"The overlay needs the Windows build.";
  return false;
}
void HostOverlay::SetScreen(const Rect&) {}
void HostOverlay::Tick(AnnotationStore&, std::uint64_t) {}
OverlayRenderOutcome HostOverlay::Render(const AnnotationSnapshot&, std::uint64_t) {
  return OverlayRenderOutcome::NotReady;
}
bool HostOverlay::Dump(const std::string&, std::wstring& error) const {
  error = L"No overlay.";
  return false;
}
void HostOverlay::Stop() {}

Rect MonitorScreen(std::uint32_t) { return {}; }

}  // namespace tvx::cli

#include "host_overlay.h"

#include <windows.h>

#include "bmp_file.h"
#include "media/overlay_window_win.h"
#include "media/screen_capture.h"

namespace tvx::cli {

struct HostOverlay::Window {
  OverlayWindow overlay;
};

HostOverlay::HostOverlay() = default;
HostOverlay::~HostOverlay() { Stop(); }

bool HostOverlay::Start(const Rect& screen, std::wstring& error) {
  auto window = std::make_unique<Window>();
  if (!window->overlay.Create(GetModuleHandleW(nullptr), screen, error)) return false;
  window->overlay.SetVisible(true);
  window_ = std::move(window);
  return true;
}

void HostOverlay::SetScreen(const Rect& screen) {
  if (window_) window_->overlay.SetBounds(screen);
}

void HostOverlay::Tick(AnnotationStore& annotations, std::uint64_t nowMs) {
  if (!window_) return;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  annotations.Expire(nowMs);
  window_->overlay.Render(annotations.Snapshot(nowMs), nowMs);
}

OverlayRenderOutcome HostOverlay::Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs) {
  return window_ ? window_->overlay.Render(snapshot, nowMs) : OverlayRenderOutcome::NotReady;
}

bool HostOverlay::Dump(const std::string& path, std::wstring& error) const {
  const std::uint32_t* pixels = window_ ? window_->overlay.pixels() : nullptr;
  if (!pixels) {
    error = L"No overlay surface.";
    return false;
  }
  const Rect bounds = window_->overlay.bounds();
  const auto width = static_cast<std::uint32_t>(bounds.Width());
  if (!SaveBmp32(path, reinterpret_cast<const std::uint8_t*>(pixels), width,
                 static_cast<std::uint32_t>(bounds.Height()), width * 4)) {
    error = L"Could not write the overlay file.";
    return false;
  }
  return true;
}

void HostOverlay::Stop() {
  if (!window_) return;
  window_->overlay.SetVisible(false);
  window_.reset();
}

Rect MonitorScreen(std::uint32_t index) {
  for (const MonitorInfo& monitor : EnumerateMonitors()) {
    if (monitor.index == index) return monitor.desktopRect;
  }
  return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace tvx::cli

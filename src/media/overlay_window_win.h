// The overlay window: a borderless, top-most, click-through layered window over the shared monitor
// that never takes the focus. Annotations are painted with Direct2D into a 32-bit DIB through a
// device-context render target and handed to the window manager with per-pixel alpha, only the
// region that changed. Everything runs on the thread that created it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "media/annotation_store.h"
#include "media/monitor_info.h"
#include "media/overlay_renderer.h"

namespace tvx {

class OverlayWindow {
 public:
  static constexpr const wchar_t* kClassName = L"TavrixOverlay";

  OverlayWindow();
  ~OverlayWindow();
  OverlayWindow(const OverlayWindow&) = delete;
  OverlayWindow& operator=(const OverlayWindow&) = delete;

  // Makes the window (hidden) over `rect`, replacing any made before. On failure nothing is left
  // and `error` says why.
  bool Create(HINSTANCE instance, const Rect& rect, std::wstring& error);
  void Destroy();
  bool created() const;

  // Moves and sizes the window; an empty rectangle is refused. The next render repaints it all.
  bool SetBounds(const Rect& rect);
  void SetVisible(bool visible);
  // One paint of `snapshot` as it looks at `nowMs` (skipped when nothing changed).
  OverlayRenderOutcome Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs);

  HWND hwnd() const;
  Rect bounds() const;
  bool visible() const;
  // The surface: width × height premultiplied BGRA pixels, rows top-down, 4 × width bytes each.
  const std::uint32_t* pixels() const;
  const OverlayRenderer* renderer() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace tvx

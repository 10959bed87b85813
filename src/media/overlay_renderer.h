// The overlay's paint rules, apart from the window: when a snapshot needs painting at all, what it
// paints, which region of the window is handed over, and what a lost render target costs. The
// window (overlay_window_win.cpp) supplies the surface and the window-manager calls through
// OverlayTarget; tests supply a fake.
#pragma once

#include <cstdint>

#include "media/annotation_store.h"
#include "ui/annotation_painter.h"
#include "ui/canvas.h"

namespace tvx {

enum class OverlayDrawResult {
  Ok,
  RecreateTarget,  // the renderer lost its device: the target must be made again
  Failed,
};

// The platform half of the overlay: a surface the size of the window and the window itself.
class OverlayTarget {
 public:
  virtual ~OverlayTarget() = default;
  // True when the surface and a render target exist; makes a missing render target first.
  virtual bool Ready() = 0;
  // Binds the render target to the whole surface and begins drawing.
  virtual ui::Canvas& BeginDraw() = 0;
  virtual OverlayDrawResult EndDraw() = 0;
  // Releases the render target and makes it again (it stays released when that fails).
  virtual void RecreateTarget() = 0;
  // Hands the surface to the window manager: only `region` of it, or all of it when null.
  virtual bool Present(const ui::PixelBounds* region) = 0;
  // Moves the window back to the top of the top-most band (at most once a second).
  virtual void KeepOnTop() = 0;
};

enum class OverlayRenderOutcome {
  NotReady,    // no surface or render target
  Unchanged,   // same counter and nothing animating: nothing painted
  StillEmpty,  // nothing to show and the window is already clear
  Painted,
  TargetLost,  // the target was made again; the next render repaints
  DrawFailed,
};

class OverlayRenderer {
 public:
  static constexpr std::uint64_t kForceRepaint = ~0ull;

  OverlayRenderer(int width, int height);

  // The window took a new size: the next render repaints and hands over the whole window.
  void Resize(int width, int height);
  // Paints `snapshot` as it looks at `nowMs` if it needs painting.
  OverlayRenderOutcome Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs, OverlayTarget& target);

  int width() const { return width_; }
  int height() const { return height_; }
  // The region the last paint covered (empty when it painted nothing).
  const ui::PixelBounds& previousBounds() const { return previous_; }
  // The region handed to the window manager by the last paint.
  const ui::PixelBounds& lastUpdateRegion() const { return lastUpdate_; }
  bool lastUpdateWasWhole() const { return lastUpdateWhole_; }
  std::uint64_t lastCounter() const { return lastCounter_; }
  const ui::AnnotationPainter& painter() const { return painter_; }

 private:
  ui::AnnotationPainter painter_{ui::kOverlayMinStroke};
  int width_;
  int height_;
  ui::PixelBounds previous_;
  bool previousWasEmpty_ = false;
  std::uint64_t lastCounter_ = kForceRepaint;
  ui::PixelBounds lastUpdate_;
  bool lastUpdateWhole_ = false;
};

}  // namespace tvx

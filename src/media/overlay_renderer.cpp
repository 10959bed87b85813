#include "media/overlay_renderer.h"

namespace tvx {

OverlayRenderer::OverlayRenderer(int width, int height) { Resize(width, height); }

void OverlayRenderer::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  previous_ = {0, 0, width, height};
  previousWasEmpty_ = false;
  lastCounter_ = kForceRepaint;
}

OverlayRenderOutcome OverlayRenderer::Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs,
                                             OverlayTarget& target) {
  if (!target.Ready()) return OverlayRenderOutcome::NotReady;
  if (snapshot.changeCounter == lastCounter_ && !snapshot.animating) {
    target.KeepOnTop();
    return OverlayRenderOutcome::Unchanged;
  }
  const bool empty = ui::SnapshotEmpty(snapshot);
  if (empty && previousWasEmpty_) {
    lastCounter_ = snapshot.changeCounter;
    return OverlayRenderOutcome::StillEmpty;
  }

  const ui::Size picture{static_cast<float>(width_), static_cast<float>(height_)};
  ui::Canvas& canvas = target.BeginDraw();
  canvas.SetTransform(ui::Transform::Identity());
  canvas.Clear(0);
  painter_.PaintSnapshot(canvas, snapshot, nowMs, picture);
  switch (target.EndDraw()) {
    case OverlayDrawResult::Ok:
      break;
    case OverlayDrawResult::RecreateTarget:
      target.RecreateTarget();
      lastCounter_ = kForceRepaint;
      return OverlayRenderOutcome::TargetLost;
    case OverlayDrawResult::Failed:
      return OverlayRenderOutcome::DrawFailed;
  }

  const ui::PixelBounds bounds = empty ? ui::PixelBounds{} : painter_.SnapshotBounds(snapshot, picture);
  // What was painted before must be cleared as well as what is painted now.
  const ui::PixelBounds region = previousWasEmpty_ ? bounds : bounds.Empty() ? previous_ : bounds.Union(previous_);
  lastUpdate_ = region;
  lastUpdateWhole_ = region.Empty() || !target.Present(&region);
  if (lastUpdateWhole_) target.Present(nullptr);

  previous_ = bounds;
  previousWasEmpty_ = empty;
  lastCounter_ = snapshot.changeCounter;
  target.KeepOnTop();
  return OverlayRenderOutcome::Painted;
}

}  // namespace tvx

#include "ui/paint_pacing.h"

namespace tvx::ui {

bool PaintPacing::TryPaint(std::int64_t now) {
  if (painted_ && now - lastPaint_ < kMinPaintIntervalMicros) return false;
  painted_ = true;
  lastPaint_ = now;
  return true;
}

bool PaintPacing::ShouldInvalidateOnTick(const TickState& s) {
  return s.tickWantsRepaint || s.dirty || s.popupOpen || s.textFocused;
}

}  // namespace tvx::ui

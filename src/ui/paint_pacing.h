// When a window paints: at most one frame per 4 ms, and on the 16 ms timer only when there is
// something to show. Pure decisions on microsecond times so tests can step them.
#pragma once

#include <cstdint>

namespace tvx::ui {

inline constexpr std::int64_t kMinPaintIntervalMicros = 4000;
inline constexpr unsigned kFrameTimerMillis = 16;

class PaintPacing {
 public:
  // A paint request at `now`: true when a frame should be drawn (and the time is remembered);
  // false means the request only validates the window.
  bool TryPaint(std::int64_t now);

  // What the 16 ms timer asks for after the deferred actions and Tick ran.
  struct TickState {
    bool tickWantsRepaint = false;
    bool dirty = false;
    bool popupOpen = false;
    bool textFocused = false;
  };
  static bool ShouldInvalidateOnTick(const TickState& state);

 private:
  bool painted_ = false;
  std::int64_t lastPaint_ = 0;
};

}  // namespace tvx::ui

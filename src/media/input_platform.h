// The questions the injector asks the system: keyboard scan codes, the cursor and the desktop's
// monitors. Behind an interface so the injection logic runs and is tested on any system.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/monitor_info.h"

namespace tvx {

struct CursorPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const CursorPoint&) const = default;
};

class InputPlatform {
 public:
  virtual ~InputPlatform() = default;
  // The scan code of a virtual key on the current keyboard layout (0 when there is none).
  virtual std::uint16_t ScanCodeForKey(std::uint16_t vk) = 0;
  // The cursor's position in virtual-desktop coordinates; false when it cannot be read.
  virtual bool CursorPosition(CursorPoint& position) = 0;
  // The full rectangle of every attached monitor.
  virtual std::vector<Rect> MonitorRects() = 0;
  // The virtual screen as the system metrics give it (possibly empty).
  virtual Rect SystemVirtualScreen() = 0;
};

// The running system: user32 on Windows; elsewhere a desktop without monitors, cursor or layout.
std::unique_ptr<InputPlatform> CreateSystemInputPlatform();

}  // namespace tvx

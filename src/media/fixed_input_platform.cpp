#include "media/fixed_input_platform.h"

#include <utility>

namespace tvx {

std::uint16_t FixedInputPlatform::ScanCodeForKey(std::uint16_t vk) {
  std::lock_guard lock(mutex_);
  const auto found = scanCodes_.find(vk);
  return found == scanCodes_.end() ? 0 : found->second;
}

bool FixedInputPlatform::CursorPosition(CursorPoint& position) {
  std::lock_guard lock(mutex_);
  if (!cursor_) return false;
  position = *cursor_;
  return true;
}

std::vector<Rect> FixedInputPlatform::MonitorRects() {
  std::lock_guard lock(mutex_);
  return monitors_;
}

Rect FixedInputPlatform::SystemVirtualScreen() {
  std::lock_guard lock(mutex_);
  return systemScreen_;
}

void FixedInputPlatform::SetScanCode(std::uint16_t vk, std::uint16_t scan) {
  std::lock_guard lock(mutex_);
  scanCodes_[vk] = scan;
}

void FixedInputPlatform::SetCursor(std::optional<CursorPoint> cursor) {
  std::lock_guard lock(mutex_);
  cursor_ = cursor;
}

void FixedInputPlatform::SetMonitors(std::vector<Rect> monitors) {
  std::lock_guard lock(mutex_);
  monitors_ = std::move(monitors);
}

void FixedInputPlatform::SetSystemVirtualScreen(Rect screen) {
  std::lock_guard lock(mutex_);
  systemScreen_ = screen;
}

}  // namespace tvx

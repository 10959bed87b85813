// An input platform whose answers are set by its owner: tests, and hosts without a desktop of
// their own (their monitors come from wherever their picture comes from).
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include "media/input_platform.h"

namespace tvx {

class FixedInputPlatform final : public InputPlatform {
 public:
  std::uint16_t ScanCodeForKey(std::uint16_t vk) override;
  bool CursorPosition(CursorPoint& position) override;
  std::vector<Rect> MonitorRects() override;
  Rect SystemVirtualScreen() override;

  void SetScanCode(std::uint16_t vk, std::uint16_t scan);
  // No value: reading the cursor fails.
  void SetCursor(std::optional<CursorPoint> cursor);
  void SetMonitors(std::vector<Rect> monitors);
  void SetSystemVirtualScreen(Rect screen);

 private:
  std::mutex mutex_;
  std::map<std::uint16_t, std::uint16_t> scanCodes_;
  std::optional<CursorPoint> cursor_;
  std::vector<Rect> monitors_;
  Rect systemScreen_;
};

}  // namespace tvx

// The notification-area icon's menu, as items the window turns into a popup menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

namespace tray {
inline constexpr std::uint32_t kOpen = 400;
inline constexpr std::uint32_t kClearDrawings = 401;
inline constexpr std::uint32_t kStartStop = 402;
inline constexpr std::uint32_t kQuit = 403;
}  // namespace tray

struct TrayMenuItem {
  std::uint32_t id = 0;  // 0 for a separator
  std::wstring label;
  bool enabled = true;
  bool operator==(const TrayMenuItem&) const = default;
};

std::vector<TrayMenuItem> TrayMenuItems(bool sharing);

// The icon's tip.
std::wstring TrayTip(bool sharing);

}  // namespace tvx

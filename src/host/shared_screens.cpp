#include "host/shared_screens.h"

#include <algorithm>

namespace tvx {

std::vector<MonitorInfo> SharedScreens(const std::vector<MonitorInfo>& attached, std::uint32_t mask) {
  std::vector<MonitorInfo> shared;
  for (const MonitorInfo& monitor : attached) {
    if (monitor.index >= 32 || (mask >> monitor.index & 1u) != 0) shared.push_back(monitor);
  }
  // Hiding every screen would leave viewers nothing to watch.
  if (shared.empty()) shared = attached;
  return shared;
}

bool ContainsScreen(const std::vector<MonitorInfo>& screens, std::uint32_t index) {
  return std::any_of(screens.begin(), screens.end(), [&](const MonitorInfo& m) { return m.index == index; });
}

}  // namespace tvx

// The monitors a host offers its viewers.
#pragma once

#include <cstdint>
#include <vector>

#include "media/monitor_info.h"

namespace tvx {

// The attached monitors whose bit is set in `mask` (bit i for monitor i) or whose index is 32 or
// higher, which no mask bit can name; every attached monitor when that leaves none.
std::vector<MonitorInfo> SharedScreens(const std::vector<MonitorInfo>& attached, std::uint32_t mask);

// True when `index` is one of `screens`.
bool ContainsScreen(const std::vector<MonitorInfo>& screens, std::uint32_t index);

}  // namespace tvx

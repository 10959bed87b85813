#include "ui/share_rules.h"

#include <algorithm>

#include "foundation/format.h"
#include "foundation/text.h"

namespace tvx {

bool ScreenShared(std::uint32_t mask, std::size_t index) {
  return index >= kMaxMaskedMonitors || (mask >> index & 1u) != 0;
}

ScreenToggle ToggleSharedScreen(std::uint32_t mask, std::size_t index, std::size_t monitorCount,
                                std::wstring_view label) {
  ScreenToggle result{mask, false, {}};
  if (index >= kMaxMaskedMonitors || index >= monitorCount) return result;
  const std::uint32_t bit = 1u << index;
  if ((mask & bit) != 0) {
    const std::size_t masked = std::min(monitorCount, kMaxMaskedMonitors);
    const std::uint32_t existing = masked >= 32 ? 0xFFFFFFFFu : (1u << masked) - 1u;
    if ((mask & existing & ~bit) == 0) {
      result.status = L"At least one screen has to stay shared.";
      return result;
    }
    result.mask = mask & ~bit;
    result.status = FormatText(L"%s is no longer shared.", label);
  } else {
    result.mask = mask | bit;
    result.status = FormatText(L"%s is shared again.", label);
  }
  result.changed = true;
  return result;
}

void ApplyShareMode(HomeSettings& settings, int mode, const std::function<std::string()>& makeCode) {
  settings.mode = mode;
  if (mode != 1 || settings.requireCode) return;
  settings.requireCode = true;
  if (settings.code.empty()) settings.code = Utf8ToWide(makeCode());
}

void ApplyRequireCode(HomeSettings& settings, const std::function<std::string()>& makeCode) {
  if (settings.requireCode && settings.code.empty()) settings.code = Utf8ToWide(makeCode());
}

}  // namespace tvx

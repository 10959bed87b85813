// The share panel's rules that change more than the control itself: the screens viewers may see,
// the switch to relay mode and the access-code toggle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ui/settings_model.h"

namespace tvx {

// Only the first 32 monitors have a bit in share.allowedMonitors.
inline constexpr std::size_t kMaxMaskedMonitors = 32;

struct ScreenToggle {
  std::uint32_t mask = 0;
  bool changed = false;
  std::wstring status;  // what the status line says afterwards (empty: nothing)
};

// A click on the "They may see" button of monitor `index` (its label is `label`) among
// `monitorCount` monitors. The last shared monitor stays shared: bits of monitors that do not exist
// do not count as shared screens.
ScreenToggle ToggleSharedScreen(std::uint32_t mask, std::size_t index, std::size_t monitorCount,
                                std::wstring_view label);

// Whether monitor `index` is among the shared ones (monitors past the 32nd always are).
bool ScreenShared(std::uint32_t mask, std::size_t index);

// The mode dropdown moved to `mode`. The relay hands this host to anyone who knows its ID, so
// relay mode switches the access code on and makes one when there is none.
void ApplyShareMode(HomeSettings& settings, int mode, const std::function<std::string()>& makeCode);

// The "Code" toggle was flipped to `settings.requireCode`: turning it on with no code makes one.
void ApplyRequireCode(HomeSettings& settings, const std::function<std::string()>& makeCode);

}  // namespace tvx

// How the home window's settings become the engine's ShareOptions when the user starts sharing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/share_options.h"
#include "ui/settings_model.h"

namespace tvx {

// The drawing lifetimes of the "WHAT THE OTHER SIDE MAY DO HERE" dropdown, in milliseconds.
inline constexpr std::array<std::uint32_t, 4> kDrawingLifetimesMs = {0, 5000, 10000, 30000};
std::uint32_t DrawingLifetimeMs(int index);

// The decimal number a port field starts with (0 when it starts with none), kept within 1..65535.
std::uint16_t PortFromText(std::wstring_view text);

// Everything the engine needs from the panel. The relay is used only in relay mode with a relay
// server and an access code (a relay lets anyone ask for this host by its ID); otherwise the share
// stays on the local network. `monitorCount` is the monitor list's length.
ShareOptions BuildShareOptions(const HomeSettings& settings, std::size_t monitorCount);

}  // namespace tvx

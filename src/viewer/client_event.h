// What the viewer engine tells its window, each with a text.
#pragma once

#include <cstdint>

namespace tvx {

enum class ClientEvent : std::uint32_t {
  Connecting = 0,
  Connected = 1,
  Ended = 2,
  EndedByHost = 3,
  Refused = 4,
  ScreenChanged = 5,
  Frame = 6,
  PermissionsChanged = 7,
  Clipboard = 8,
  Failed = 9,
};

// "Connecting", "Connected", ... as written above; "Unknown" for any other value.
const char* ClientEventName(ClientEvent event);

}  // namespace tvx

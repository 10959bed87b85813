// What the host engine reports to its owner (the home window posts each one to its own thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tvx {

enum class ServerEvent : std::uint32_t {
  Started = 0,
  Stopped = 1,
  ViewerJoined = 2,       // text: the viewer's name
  ViewerLeft = 3,         // text: the viewer's name
  ScreensChanged = 4,
  DrawingsChanged = 5,
  ClipboardReceived = 6,  // text: the clipboard text
  ControlRequested = 7,   // text: the viewer's name
  Status = 8,             // text: what went wrong with the capture or the encoder
};

// "Started", "ViewerJoined", ... for logs and tools.
const char* ServerEventName(ServerEvent event);

using ServerEventHandler = std::function<void(ServerEvent event, const std::wstring& text)>;

}  // namespace tvx

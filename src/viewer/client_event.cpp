#include "viewer/client_event.h"

namespace tvx {

const char* ClientEventName(ClientEvent event) {
  switch (event) {
    case ClientEvent::Connecting: return "Connecting";
    case ClientEvent::Connected: return "Connected";
    case ClientEvent::Ended: return "Ended";
    case ClientEvent::EndedByHost: return "EndedByHost";
    case ClientEvent::Refused: return "Refused";
    case ClientEvent::ScreenChanged: return "ScreenChanged";
    case ClientEvent::Frame: return "Frame";
    case ClientEvent::PermissionsChanged: return "PermissionsChanged";
    case ClientEvent::Clipboard: return "Clipboard";
    case ClientEvent::Failed: return "Failed";
  }
  return "Unknown";
}

}  // namespace tvx

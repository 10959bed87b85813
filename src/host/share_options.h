// The settings a share is started with. The engine keeps its own copy under its settings lock;
// every thread that needs a setting copies the whole record and works on the copy.
#pragma once

#include <cstdint>
#include <string>

#include "net/listener.h"

namespace tvx {

struct ShareOptions {
  std::uint16_t port = 7788;
  ListenScope listenOn = ListenScope::kEveryAddress;  // tests and tools that stay on this computer: kLoopback
  std::string code;         // access code viewers must give; empty accepts any code
  std::string relayServer;  // empty: no relay
  std::uint16_t relayPort = 7788;
  std::string id;           // this host's relay ID
  std::uint8_t quality = 62;    // JPEG quality 5..100
  std::uint8_t frameRate = 30;  // 1..75
  bool halfResolution = false;
  bool compressColour = false;  // 4:2:0 chroma
  std::uint32_t monitor = 0;
  std::uint32_t allowedMonitors = 0xFFFFFFFF;
  std::int32_t maxViewers = 4;  // admission keeps it within 1..8
  std::uint32_t drawingLifetime = 0;  // ms; 0 keeps drawings until cleared
  bool allowRemoteControl = false;
  bool shareClipboard = false;
  bool shareAudio = false;
};

}  // namespace tvx

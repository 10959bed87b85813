// Asks a relay server how it is doing: the home window's relay list and `tavrix-cli probe` show it.
#pragma once

#include <cstdint>
#include <string>

#include "net/connection.h"

namespace tvx {

struct RelayProbeResult {
  enum class State { Online, Unreachable, NotARelay };
  State state = State::Unreachable;
  std::uint32_t hostsSharing = 0;
  std::uint32_t connectionsCarried = 0;
};

// Dials (4 s), sends the status request and reads the 16-byte answer. Another thread cancels by
// Shutdown of `connection` (which also ends a name lookup in progress; closing it alone does not,
// there is no socket yet then).
RelayProbeResult ProbeRelay(Connection& connection, const std::wstring& host, std::uint16_t port);

// "online   %u sharing   %u connections carried", "cannot be reached" or
// "answered, but not as a relay".
std::wstring RelayProbeText(const RelayProbeResult& result);

}  // namespace tvx

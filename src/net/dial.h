// Turning a host name and port into a connected, tuned socket inside a Connection.
#pragma once

#include <cstdint>
#include <string>

#include "net/connection.h"

namespace tvx {

// Resolves `host`, tries each address in the resolver's order and leaves the first that connects,
// tuned, in `connection`. Another thread cancels by SetClosing(true) (noticed within about 100 ms)
// or by closing the connection. On failure the connection holds no socket and `error` says why,
// with the texts the user sees.
bool Dial(Connection& connection, const std::wstring& host, std::uint16_t port, std::uint32_t timeoutMs,
          std::wstring& error);

}  // namespace tvx

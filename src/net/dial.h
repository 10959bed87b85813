// Turning a host name and port into a connected, tuned socket inside a Connection.
#pragma once

#include <cstdint>
#include <string>

#include "net/connection.h"
#include "net/name_resolver.h"

namespace tvx {

// Resolves `host`, tries each address in the resolver's order and leaves the first that connects,
// tuned, in `connection`. The lookup and each connect attempt may take up to `timeoutMs` each.
//
// Another thread cancels by SetClosing(true) or Shutdown (noticed within about 100 ms, also while
// the name is being looked up) or, once a connect is under way, by closing the connection. Dial
// leaves `closing` as it finds it: a cancel that comes before Dial starts is kept, and the owner
// clears the flag before it dials that connection again. On failure the connection holds no
// socket and `error` says why, with the texts the user sees.
bool Dial(Connection& connection, const std::wstring& host, std::uint16_t port, std::uint32_t timeoutMs,
          std::wstring& error, NameResolver& resolver = SystemNameResolver());

}  // namespace tvx

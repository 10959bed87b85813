// TCP keep-alive tuned so that a host that vanished without closing frees its ID within a minute.
#pragma once

#include <asio.hpp>

namespace tvx::relay {

void EnableKeepAlive(asio::ip::tcp::socket::native_handle_type socket);

}  // namespace tvx::relay

// The socket options the relay sets that differ between platforms.
#pragma once

#include <asio.hpp>

namespace tvx::relay {

// TCP keep-alive tuned so that a host that vanished without closing frees its ID within a minute.
void EnableKeepAlive(asio::ip::tcp::socket::native_handle_type socket);

// Lets a restarted relay bind its port while old connections linger in TIME_WAIT. Only where that
// is all the option does: on Windows it would let another program take the port over.
void AllowQuickRebind(asio::ip::tcp::acceptor& acceptor);

}  // namespace tvx::relay

#include <winsock2.h>
#include <mstcpip.h>
#include <windows.h>

#include "relay_socket_options.h"

namespace tvx::relay {

void EnableKeepAlive(asio::ip::tcp::socket::native_handle_type socket) {
  // Silent for 20 s, then probes 5 s apart (Windows sends 10 probes before it gives up).
  tcp_keepalive settings{};
  settings.onoff = 1;
  settings.keepalivetime = 20000;
  settings.keepaliveinterval = 5000;
  DWORD returned = 0;
  WSAIoctl(socket, SIO_KEEPALIVE_VALS, &settings, sizeof settings, nullptr, 0, &returned, nullptr, nullptr);
}

void AllowQuickRebind(asio::ip::tcp::acceptor& acceptor) {
  // Windows rebinds a port in TIME_WAIT anyway; SO_EXCLUSIVEADDRUSE keeps others off it.
  BOOL on = TRUE;
  setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
             sizeof on);
}

}  // namespace tvx::relay

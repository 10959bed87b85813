#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "relay_socket_options.h"

namespace tvx::relay {

void EnableKeepAlive(asio::ip::tcp::socket::native_handle_type socket) {
  const int on = 1, idle = 20, interval = 5, count = 4;  // silent for 20 s, then 4 probes 5 s apart
  setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

void AllowQuickRebind(asio::ip::tcp::acceptor& acceptor) {
  asio::error_code ignored;
  acceptor.set_option(asio::socket_base::reuse_address(true), ignored);
}

}  // namespace tvx::relay

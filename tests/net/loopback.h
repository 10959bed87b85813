// Loopback-only helpers for the socket tests: a listening socket on 127.0.0.1 or ::1 and a
// connected pair of Connections. Nothing here reaches beyond the computer.
#pragma once

#include <cstdint>
#include <memory>

#include "net/connection.h"
#include "net/listener.h"

namespace tvx::testing {

// Listens on the loopback address with the given backlog on a port the system picks.
bool ListenLoopback(Listener& listener, bool ipv6, int backlog = 8);

struct ConnectionPair {
  std::shared_ptr<Connection> dialed;
  std::shared_ptr<Connection> accepted;
};
// A dialed and an accepted end of one loopback TCP connection, both tuned.
ConnectionPair MakePair(bool ipv6 = false);

// True when the system has an IPv6 loopback to test with.
bool HaveIpv6Loopback();

}  // namespace tvx::testing

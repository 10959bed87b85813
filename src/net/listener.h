// The host's listening socket: one dual-stack socket (IPv4 peers arrive as IPv4-mapped IPv6
// addresses), or an IPv4 socket where IPv6 is missing.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/socket_api.h"
#include "net/socket_slot.h"

namespace tvx {

class Listener {
 public:
  Listener() = default;
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  enum class AcceptResult { kAccepted, kStopped, kFailed };
  // Waits for the next peer in slices of about 100 ms. kStopped once Shutdown or Close was called;
  // kFailed for an accept error (the caller pauses and tries again). On kAccepted `socket` is the
  // new connection's socket (hand it to a Connection) and `address` the peer address as text, an
  // IPv4 peer of the dual-stack socket shown as its dotted IPv4 address.
  AcceptResult Accept(sock::Handle& socket, std::wstring& address);

  // Sets the stop flag so that Accept returns kStopped within about 100 ms. Close also stops
  // Accept, and is safe while another thread is in it.
  void Shutdown();
  void Close();

  bool IsOpen() const { return socket_.load() != sock::kInvalid; }
  sock::Handle socket() const { return socket_.load(); }
  // The bound port (useful after listening on port 0).
  std::uint16_t Port() const;

  // Used by Listen: takes ownership of a listening socket, closing any earlier one.
  void Attach(sock::Handle socket);

 private:
  SocketSlot socket_;
  std::atomic<std::uint8_t> stopping_{0};
};

// Where a listening socket takes peers from: every local address (a share), or only 127.0.0.1
// (tests and tools that stay on this computer).
enum class ListenScope { kEveryAddress, kLoopback };

// Opens a listening socket at `port` (backlog 8). The port is refused while another socket listens
// on it, but can be listened on again at once after a share on it ended, even while that share's
// connections still linger. On failure the listener holds no socket and `error` says why.
bool Listen(Listener& listener, std::uint16_t port, std::wstring& error,
            ListenScope scope = ListenScope::kEveryAddress);

// "::ffff:a.b.c.d" -> "a.b.c.d"; any other text unchanged.
std::wstring PeerAddressText(const std::wstring& raw);

}  // namespace tvx

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

// Opens a listening socket on every local address at `port` (backlog 8, the port not shareable by
// another program). On failure the listener holds no socket and `error` says why.
bool Listen(Listener& listener, std::uint16_t port, std::wstring& error);

// "::ffff:a.b.c.d" -> "a.b.c.d"; any other text unchanged.
std::wstring PeerAddressText(const std::wstring& raw);

}  // namespace tvx

// tavrix-relay's server: one event-driven thread carries every connection.
//
// A connection's first frame decides its role: a host registering its ID (control link), a viewer
// asking for a host by ID (held until the host claims its ticket), a host dialing back to claim a
// ticket (then spliced to the waiting viewer), or a status probe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <asio.hpp>

#include "relay_hub.h"

namespace tvx::relay {

struct RelayOptions {
  std::string bind;  // empty: every address, IPv4 and IPv6
  std::uint16_t port = 7788;
  std::size_t maxConnections = 20000;
  std::chrono::milliseconds firstFrameTimeout{10000};
  std::chrono::milliseconds claimTimeout{30000};
  std::size_t spliceBuffer = 64 * 1024;  // per direction
};

class RelayServer {
 public:
  RelayServer(asio::io_context& io, RelayOptions options);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Binds and starts accepting; false with a readable error when the port cannot be had.
  bool Start(std::string* error);
  // Closes the listener and every connection; the io_context then runs out of work.
  void Stop();
  // The port actually bound (useful when started on port 0).
  std::uint16_t port() const { return port_; }

  std::uint32_t hostsSharing() const { return hub_.hostsSharing(); }
  std::uint32_t connectionsCarried() const { return hub_.connectionsCarried(); }
  std::size_t openConnections() const { return *open_; }

 private:
  struct Link;
  using LinkPtr = std::shared_ptr<Link>;

  asio::awaitable<void> AcceptLoop(asio::ip::tcp::acceptor& acceptor);
  asio::awaitable<void> Serve(LinkPtr link);
  asio::awaitable<void> ServeHost(LinkPtr link, const std::string& id);
  asio::awaitable<void> ServeViewer(LinkPtr link, const std::string& id, std::vector<std::uint8_t> hello);
  asio::awaitable<void> ServeClaim(LinkPtr link, std::uint64_t ticket);
  asio::awaitable<void> Pump(LinkPtr from, LinkPtr to);
  void Send(const LinkPtr& link, std::vector<std::uint8_t> frame);
  asio::awaitable<void> WriteQueued(LinkPtr link);

  asio::io_context& io_;
  RelayOptions options_;
  std::vector<std::unique_ptr<asio::ip::tcp::acceptor>> acceptors_;
  std::uint16_t port_ = 0;
  RelayHub hub_;
  LinkId nextLink_ = 1;
  std::shared_ptr<std::size_t> open_;
  std::map<LinkId, std::weak_ptr<Link>> links_;
  std::map<LinkId, LinkPtr> controls_;
  std::map<LinkId, LinkPtr> waiting_;
  std::chrono::steady_clock::time_point lastFullWarning_{};
  bool stopped_ = false;
};

}  // namespace tvx::relay

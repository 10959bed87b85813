// tavrix-relay's server: one event-driven thread carries every connection.
//
// A connection's first frame decides its role: a host registering its ID (control link), a viewer
// asking for a host by ID (held until the host claims its ticket), a host dialing back to claim a
// ticket (then spliced to the waiting viewer), or a status probe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
  // What the relay holds for one connection that does not read what it is sent (the tickets for a
  // host's control link); a connection that lets more pile up is dropped.
  std::size_t maxQueuedBytes = 64 * 1024;
  // A connection that takes none of what is being written to it for this long is dropped.
  std::chrono::milliseconds writeStallTimeout{60000};
  // When set, asked each time a connection has arrived to be accepted: an error it returns is
  // taken as that accept's result and the connection is held back for the next try, as when the
  // process is out of descriptors. Tests stand in for such a process with it.
  std::function<asio::error_code()> acceptGate;
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
  // Connections in the relay's own table; the same as openConnections() once every connection
  // that ended has been forgotten.
  std::size_t trackedConnections() const { return links_.size(); }
  // The connection limit in force: the one asked for, lowered to what the process can hold.
  std::size_t maxConnections() const { return options_.maxConnections; }

 private:
  struct Link;
  struct Listening;
  using LinkPtr = std::shared_ptr<Link>;

  asio::awaitable<void> AcceptLoop(Listening& listening);
  asio::awaitable<void> WatchWrites();
  asio::awaitable<void> Serve(LinkPtr link);
  asio::awaitable<void> ServeHost(LinkPtr link, const std::string& id);
  asio::awaitable<void> ServeViewer(LinkPtr link, const std::string& id, std::vector<std::uint8_t> hello);
  asio::awaitable<void> ServeClaim(LinkPtr link, std::uint64_t ticket);
  asio::awaitable<void> Pump(LinkPtr from, LinkPtr to);
  // Queues a frame for the link's one writer; false (and the link closed) when the link is closed
  // or would hold more than maxQueuedBytes.
  bool Send(const LinkPtr& link, std::vector<std::uint8_t> frame);
  asio::awaitable<void> WriteQueued(LinkPtr link);
  // Writes all of `data`, marking the link's progress for WatchWrites; false when the write failed.
  asio::awaitable<bool> WriteAll(LinkPtr link, asio::const_buffer data);
  // Closes the link and forgets it.
  void Release(const LinkPtr& link);

  asio::io_context& io_;
  RelayOptions options_;
  std::vector<std::unique_ptr<Listening>> listeners_;
  asio::steady_timer writeWatch_;
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

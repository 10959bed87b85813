#include "relay_server.h"

#include <algorithm>
#include <array>
#include <deque>

#include "foundation/log.h"
#include "foundation/secure_random.h"
#include "net/connection.h"
#include "relay_first_frame.h"
#include "relay_frames.h"
#include "relay_socket_options.h"

namespace tvx::relay {

using asio::awaitable;
using asio::use_awaitable;
using asio::ip::tcp;

namespace {

std::uint64_t RandomTicket() {
  std::uint64_t ticket = 0;
  if (!SecureRandomBytes(&ticket, sizeof ticket)) {
    // Without the system's random source a ticket could be guessed: refuse to go on.
    Log(kLogError, L"The system random source failed; tickets cannot be made safely");
    std::abort();
  }
  return ticket;
}

std::string PeerText(const tcp::socket& socket) {
  asio::error_code ec;
  const tcp::endpoint peer = socket.remote_endpoint(ec);
  if (ec) return "?";
  asio::ip::address address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  return address.to_string();
}

}  // namespace

struct RelayServer::Link {
  Link(tcp::socket s, LinkId linkId, std::shared_ptr<std::size_t> counter)
      : socket(std::move(s)), id(linkId), wake(socket.get_executor()), open(std::move(counter)) {
    ++*open;
    peer = PeerText(socket);
  }
  ~Link() { --*open; }

  void Close() {
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    wake.cancel();
  }

  tcp::socket socket;
  LinkId id;
  std::string peer;
  asio::steady_timer wake;  // a waiting viewer sleeps on it until claimed or timed out
  bool claimed = false;
  std::vector<std::uint8_t> hello;  // a waiting viewer's greeting, passed on unchanged
  std::deque<std::vector<std::uint8_t>> outgoing;
  bool writing = false;
  std::shared_ptr<std::size_t> open;
};

RelayServer::RelayServer(asio::io_context& io, RelayOptions options)
    : io_(io), options_(std::move(options)), hub_(RandomTicket), open_(std::make_shared<std::size_t>(0)) {}

RelayServer::~RelayServer() { Stop(); }

bool RelayServer::Start(std::string* error) {
  asio::error_code ec;
  std::vector<tcp::endpoint> endpoints;
  if (options_.bind.empty()) {
    endpoints.emplace_back(tcp::v6(), options_.port);
  } else {
    const asio::ip::address address = asio::ip::make_address(options_.bind, ec);
    if (ec) {
      *error = "Not an address: " + options_.bind;
      return false;
    }
    endpoints.emplace_back(address, options_.port);
  }
  for (const tcp::endpoint& endpoint : endpoints) {
    auto acceptor = std::make_unique<tcp::acceptor>(io_);
    acceptor->open(endpoint.protocol(), ec);
    if (ec && options_.bind.empty()) {
      // No IPv6 on this machine: fall back to IPv4 only.
      acceptor->open(tcp::v4(), ec);
      if (!ec) {
        AllowQuickRebind(*acceptor);
        acceptor->bind(tcp::endpoint(tcp::v4(), options_.port), ec);
      }
    } else if (!ec) {
      AllowQuickRebind(*acceptor);
      if (endpoint.address().is_v6()) acceptor->set_option(asio::ip::v6_only(false), ec);
      acceptor->bind(endpoint, ec);
    }
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      *error = "Cannot listen on port " + std::to_string(options_.port) + ": " + ec.message();
      return false;
    }
    port_ = acceptor->local_endpoint().port();
    acceptors_.push_back(std::move(acceptor));
  }
  for (auto& acceptor : acceptors_) asio::co_spawn(io_, AcceptLoop(*acceptor), asio::detached);
  Log(kLogInfo, L"Relay listening on port %u", port_);
  return true;
}

void RelayServer::Stop() {
  if (stopped_) return;
  stopped_ = true;
  for (auto& acceptor : acceptors_) {
    asio::error_code ignored;
    acceptor->close(ignored);
  }
  for (auto& [id, weak] : links_) {
    if (LinkPtr link = weak.lock()) link->Close();
  }
  controls_.clear();
  waiting_.clear();
}

awaitable<void> RelayServer::AcceptLoop(tcp::acceptor& acceptor) {
  while (!stopped_) {
    asio::error_code ec;
    tcp::socket socket = co_await acceptor.async_accept(asio::redirect_error(use_awaitable, ec));
    if (ec) {
      if (stopped_ || ec == asio::error::operation_aborted) co_return;
      continue;  // a connection that failed while being accepted
    }
    if (*open_ >= options_.maxConnections) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastFullWarning_ >= std::chrono::seconds(1)) {
        lastFullWarning_ = now;
        Log(kLogWarning, L"Refusing %s: %zu connections open (the limit)", PeerText(socket), *open_);
      }
      socket.close(ec);
      continue;
    }
    socket.set_option(tcp::no_delay(true), ec);
    auto link = std::make_shared<Link>(std::move(socket), nextLink_++, open_);
    links_[link->id] = link;
    asio::co_spawn(io_, Serve(link), asio::detached);
  }
}

awaitable<void> RelayServer::Serve(LinkPtr link) {
  // The first frame must come soon and be small; its type decides the connection's role.
  asio::steady_timer deadline(io_);
  deadline.expires_after(options_.firstFrameTimeout);
  deadline.async_wait([link](const asio::error_code& ec) {
    if (!ec) link->Close();
  });
  std::array<std::uint8_t, kFrameHeaderSize> header{};
  std::vector<std::uint8_t> payload;
  asio::error_code ec;
  co_await asio::async_read(link->socket, asio::buffer(header), asio::redirect_error(use_awaitable, ec));
  const FrameHeader fields = ReadFrameHeader(header.data());
  bool ok = !ec && fields.magic == kFrameMagic;
  if (ok && fields.length > kMaxFirstFrame) {
    Log(kLogWarning, L"Dropping %s: first frame of %u bytes", link->peer, fields.length);
    ok = false;
  }
  if (ok) {
    payload.resize(fields.length);
    co_await asio::async_read(link->socket, asio::buffer(payload), asio::redirect_error(use_awaitable, ec));
    ok = !ec;
  }
  deadline.cancel();
  if (!ok) {
    link->Close();
    links_.erase(link->id);
    co_return;
  }

  FirstFrame first = ClassifyFirstFrame(fields.type, payload);
  switch (first.role) {
    case Role::Register:
      if (!first.refusal.empty()) {
        Log(kLogWarning, L"Refusing registration from %s: %s", link->peer, first.refusal);
        co_await asio::async_write(link->socket, asio::buffer(MakeRelayRefusal(first.refusal)),
                                   asio::redirect_error(use_awaitable, ec));
        break;
      }
      co_await ServeHost(link, first.id);
      break;
    case Role::Viewer: {
      std::vector<std::uint8_t> hello(header.begin(), header.end());
      hello.insert(hello.end(), payload.begin(), payload.end());
      co_await ServeViewer(link, first.id, std::move(hello));
      break;
    }
    case Role::Claim:
      co_await ServeClaim(link, first.ticket);
      break;
    case Role::Status:
      co_await asio::async_write(link->socket,
                                 asio::buffer(MakeStatusAnswer(hub_.hostsSharing(), hub_.connectionsCarried())),
                                 asio::redirect_error(use_awaitable, ec));
      break;
    case Role::Unknown:
      Log(kLogWarning, L"Dropping %s: first frame of type 0x%02X is not for a relay", link->peer, fields.type);
      break;
  }
  // A claimed link lives on in its splice, which forgets it when it ends.
  if (!link->claimed) {
    link->Close();
    links_.erase(link->id);
  }
}

awaitable<void> RelayServer::ServeHost(LinkPtr link, const std::string& id) {
  asio::error_code ec;
  if (hub_.Register(id, link->id) == RelayHub::Registration::IdInUse) {
    Log(kLogWarning, L"Refusing registration of %s from %s: the ID is in use", id, link->peer);
    co_await asio::async_write(link->socket, asio::buffer(MakeRelayRefusal("That ID is already in use on this relay.")),
                               asio::redirect_error(use_awaitable, ec));
    co_return;
  }
  EnableKeepAlive(link->socket.native_handle());
  controls_[link->id] = link;
  Log(kLogInfo, L"Host %s registered from %s", id, link->peer);
  Send(link, MakeRegistered());

  // The host sends nothing more; reading only tells when it goes away.
  std::array<std::uint8_t, 256> sink{};
  while (!ec) {
    co_await link->socket.async_read_some(asio::buffer(sink), asio::redirect_error(use_awaitable, ec));
  }
  hub_.Unregister(id, link->id);
  controls_.erase(link->id);
  Log(kLogInfo, L"Host %s went away", id);
}

awaitable<void> RelayServer::ServeViewer(LinkPtr link, const std::string& id, std::vector<std::uint8_t> hello) {
  asio::error_code ec;
  const std::optional<LinkId> host = hub_.HostFor(id);
  const auto control = host ? controls_.find(*host) : controls_.end();
  if (control == controls_.end()) {
    Log(kLogInfo, L"Viewer %s asked for %s, which is not here", link->peer, id);
    co_await asio::async_write(link->socket, asio::buffer(MakeNotSharingRefusal()),
                               asio::redirect_error(use_awaitable, ec));
    co_return;
  }
  const std::uint64_t ticket = hub_.OfferTicket(link->id);
  link->hello = std::move(hello);
  waiting_[link->id] = link;
  Send(control->second, MakeTicket(ticket));
  Log(kLogInfo, L"Viewer %s waits for host %s", link->peer, id);

  link->wake.expires_after(options_.claimTimeout);
  co_await link->wake.async_wait(asio::redirect_error(use_awaitable, ec));
  if (link->claimed) co_return;  // the claiming connection carries it now
  hub_.Withdraw(link->id);
  waiting_.erase(link->id);
  if (!stopped_) Log(kLogWarning, L"Viewer %s gave up: host %s did not dial back", link->peer, id);
}

awaitable<void> RelayServer::ServeClaim(LinkPtr link, std::uint64_t ticket) {
  const std::optional<LinkId> viewerId = hub_.Claim(ticket);
  const auto waiting = viewerId ? waiting_.find(*viewerId) : waiting_.end();
  if (waiting == waiting_.end()) {
    Log(kLogWarning, L"Dropping %s: ticket %llu is not known", link->peer, ticket);
    co_return;
  }
  LinkPtr viewer = waiting->second;
  waiting_.erase(waiting);
  viewer->claimed = true;
  viewer->wake.cancel();
  link->claimed = true;

  asio::error_code ec;
  co_await asio::async_write(link->socket, asio::buffer(viewer->hello), asio::redirect_error(use_awaitable, ec));
  viewer->hello = {};
  if (ec) {
    viewer->Close();
    link->Close();
    co_return;
  }
  Log(kLogInfo, L"Carrying %s to %s (ticket %llu)", viewer->peer, link->peer, ticket);
  asio::co_spawn(io_, Pump(viewer, link), asio::detached);
  asio::co_spawn(io_, Pump(link, viewer), asio::detached);
}

awaitable<void> RelayServer::Pump(LinkPtr from, LinkPtr to) {
  // One bounded buffer per direction: a slow reader slows its peer instead of growing memory.
  std::vector<std::uint8_t> buffer(options_.spliceBuffer);
  asio::error_code ec;
  for (;;) {
    const std::size_t n =
        co_await from->socket.async_read_some(asio::buffer(buffer), asio::redirect_error(use_awaitable, ec));
    if (ec) break;
    co_await asio::async_write(to->socket, asio::buffer(buffer.data(), n), asio::redirect_error(use_awaitable, ec));
    if (ec) break;
  }
  from->Close();
  to->Close();
  links_.erase(from->id);
}

void RelayServer::Send(const LinkPtr& link, std::vector<std::uint8_t> frame) {
  link->outgoing.push_back(std::move(frame));
  if (!link->writing) {
    link->writing = true;
    asio::co_spawn(io_, WriteQueued(link), asio::detached);
  }
}

awaitable<void> RelayServer::WriteQueued(LinkPtr link) {
  asio::error_code ec;
  while (!link->outgoing.empty() && !ec) {
    co_await asio::async_write(link->socket, asio::buffer(link->outgoing.front()),
                               asio::redirect_error(use_awaitable, ec));
    link->outgoing.pop_front();
  }
  link->writing = false;
  if (ec) link->Close();
}

}  // namespace tvx::relay

#include "relay_server.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>

#include "foundation/log.h"
#include "foundation/secure_random.h"
#include "net/connection.h"
#include "relay_accept_backoff.h"
#include "relay_connection_limit.h"
#include "relay_descriptor_limit.h"
#include "relay_first_frame.h"
#include "relay_frames.h"
#include "relay_socket_options.h"

namespace tvx::relay {

using asio::awaitable;
using asio::use_awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// A control link carries only 20-byte tickets. A small kernel buffer keeps what an unread host
// costs the machine small too, and lets the relay's own bound on its queue notice such a host.
constexpr int kControlSendBuffer = 4096;

// Accept errors that belong to the one connection being accepted; any other error (no descriptors,
// no buffers, no memory) would come straight back if accepting were tried again at once.
bool IsAboutThatConnection(const asio::error_code& ec) {
  return ec == asio::error::connection_aborted || ec == asio::error::connection_reset;
}

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
    closed = true;
    asio::error_code ignored;
    // Pending operations end now: under Wine, closing alone does not wake a socket whose send is
    // stuck on a peer that does not read.
    socket.cancel(ignored);
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
  bool closed = false;
  std::deque<std::vector<std::uint8_t>> outgoing;
  std::size_t queuedBytes = 0;  // in `outgoing`, the frame being written included
  bool writing = false;         // WriteQueued runs
  // While a write is pending: since when it has moved no byte. WatchWrites drops a stalled link.
  bool writePending = false;
  Clock::time_point lastWriteProgress{};
  std::shared_ptr<std::size_t> open;
};

struct RelayServer::Listening {
  explicit Listening(asio::io_context& io) : acceptor(io), pause(io) {}
  tcp::acceptor acceptor;
  asio::steady_timer pause;  // the wait after a failed accept
  AcceptBackoff backoff;
};

RelayServer::RelayServer(asio::io_context& io, RelayOptions options)
    : io_(io),
      options_(std::move(options)),
      writeWatch_(io),
      hub_(RandomTicket),
      open_(std::make_shared<std::size_t>(0)) {}

RelayServer::~RelayServer() { Stop(); }

bool RelayServer::Start(std::string* error) {
  // Connections beyond what the process may hold would only be accepts that fail.
  const std::size_t descriptors = DescriptorLimit();
  const std::size_t limit = EffectiveConnectionLimit(options_.maxConnections, descriptors);
  if (limit < options_.maxConnections) {
    Log(kLogInfo, L"Connection limit lowered to %zu: the process may hold %zu descriptors", limit, descriptors);
    options_.maxConnections = limit;
  }

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
    auto listening = std::make_unique<Listening>(io_);
    tcp::acceptor* acceptor = &listening->acceptor;
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
    listeners_.push_back(std::move(listening));
  }
  for (auto& listening : listeners_) asio::co_spawn(io_, AcceptLoop(*listening), asio::detached);
  asio::co_spawn(io_, WatchWrites(), asio::detached);
  Log(kLogInfo, L"Relay listening on port %u", port_);
  return true;
}

void RelayServer::Stop() {
  if (stopped_) return;
  stopped_ = true;
  for (auto& listening : listeners_) {
    asio::error_code ignored;
    listening->acceptor.close(ignored);
    listening->pause.cancel();
  }
  writeWatch_.cancel();
  for (auto& [id, weak] : links_) {
    if (LinkPtr link = weak.lock()) link->Close();
  }
  controls_.clear();
  waiting_.clear();
}

awaitable<void> RelayServer::AcceptLoop(Listening& listening) {
  std::optional<tcp::socket> gated;  // held back by acceptGate, as if still queued at the listener
  while (!stopped_) {
    asio::error_code ec;
    tcp::socket socket(io_);
    if (options_.acceptGate) {
      if (!gated) {
        tcp::socket arrived = co_await listening.acceptor.async_accept(asio::redirect_error(use_awaitable, ec));
        if (!ec) gated.emplace(std::move(arrived));
      }
      if (!ec) ec = options_.acceptGate();
      if (!ec) {
        socket = std::move(*gated);
        gated.reset();
      }
    } else {
      socket = co_await listening.acceptor.async_accept(asio::redirect_error(use_awaitable, ec));
    }
    if (stopped_ || ec == asio::error::operation_aborted) co_return;
    if (ec && IsAboutThatConnection(ec)) continue;
    if (ec) {
      // Out of descriptors or memory: pause, so that the connections already open keep the
      // thread and accepting resumes once some of them have gone.
      const AcceptBackoff::Decision decision = listening.backoff.Failed(Clock::now());
      if (decision.log) {
        Log(kLogWarning, L"Cannot accept connections: %d %s (%u failures since the last line); trying again in %lld ms",
            ec.value(), ec.message(), decision.failures, static_cast<long long>(decision.pause.count()));
      }
      listening.pause.expires_after(decision.pause);
      co_await listening.pause.async_wait(asio::redirect_error(use_awaitable, ec));
      continue;
    }
    listening.backoff.Succeeded();
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
    Release(link);
    co_return;
  }

  FirstFrame first = ClassifyFirstFrame(fields.type, payload);
  switch (first.role) {
    case Role::Register:
      if (!first.refusal.empty()) {
        Log(kLogWarning, L"Refusing registration from %s: %s", link->peer, first.refusal);
        co_await WriteAll(link, asio::buffer(MakeRelayRefusal(first.refusal)));
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
      co_await WriteAll(link, asio::buffer(MakeStatusAnswer(hub_.hostsSharing(), hub_.connectionsCarried())));
      break;
    case Role::Unknown:
      Log(kLogWarning, L"Dropping %s: first frame of type 0x%02X is not for a relay", link->peer, fields.type);
      break;
  }
  // A claimed link lives on in its splice, which forgets it when it ends.
  if (!link->claimed) Release(link);
}

awaitable<void> RelayServer::ServeHost(LinkPtr link, const std::string& id) {
  asio::error_code ec;
  if (hub_.Register(id, link->id) == RelayHub::Registration::IdInUse) {
    Log(kLogWarning, L"Refusing registration of %s from %s: the ID is in use", id, link->peer);
    co_await WriteAll(link, asio::buffer(MakeRelayRefusal("That ID is already in use on this relay.")));
    co_return;
  }
  EnableKeepAlive(link->socket.native_handle());
  link->socket.set_option(asio::socket_base::send_buffer_size(kControlSendBuffer), ec);
  ec = {};
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
    co_await WriteAll(link, asio::buffer(MakeNotSharingRefusal()));
    co_return;
  }
  const std::uint64_t ticket = hub_.OfferTicket(link->id);
  if (!Send(control->second, MakeTicket(ticket))) {
    // The host's link was just dropped: for this viewer the host is not here any more.
    hub_.Withdraw(link->id);
    co_await WriteAll(link, asio::buffer(MakeNotSharingRefusal()));
    co_return;
  }
  link->hello = std::move(hello);
  waiting_[link->id] = link;
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

  const bool passed = co_await WriteAll(link, asio::buffer(viewer->hello));
  viewer->hello = {};
  if (!passed) {
    // No splice will forget these two: do it here.
    Log(kLogWarning, L"Dropping %s: the greeting of %s could not be passed on", link->peer, viewer->peer);
    Release(viewer);
    Release(link);
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
    // Nothing more is read from `from` until `to` has taken all of it.
    if (ec || !co_await WriteAll(to, asio::buffer(buffer.data(), n))) break;
  }
  to->Close();
  Release(from);  // the other direction's pump forgets `to`
}

bool RelayServer::Send(const LinkPtr& link, std::vector<std::uint8_t> frame) {
  if (link->closed) return false;
  if (link->queuedBytes + frame.size() > options_.maxQueuedBytes) {
    Log(kLogWarning, L"Dropping %s: %zu bytes wait to be sent to it and it does not read", link->peer,
        link->queuedBytes);
    link->Close();
    return false;
  }
  link->queuedBytes += frame.size();
  link->outgoing.push_back(std::move(frame));
  if (!link->writing) {
    link->writing = true;
    asio::co_spawn(io_, WriteQueued(link), asio::detached);
  }
  return true;
}

awaitable<void> RelayServer::WriteQueued(LinkPtr link) {
  bool ok = true;
  while (ok && !link->outgoing.empty()) {
    ok = co_await WriteAll(link, asio::buffer(link->outgoing.front()));
    link->queuedBytes -= link->outgoing.front().size();
    link->outgoing.pop_front();
  }
  link->writing = false;
  if (!ok) {
    link->Close();
    link->outgoing.clear();
    link->queuedBytes = 0;
  }
}

awaitable<bool> RelayServer::WriteAll(LinkPtr link, asio::const_buffer data) {
  asio::error_code ec;
  link->writePending = true;
  link->lastWriteProgress = Clock::now();
  while (data.size() > 0) {
    const std::size_t n = co_await link->socket.async_write_some(data, asio::redirect_error(use_awaitable, ec));
    if (ec) break;
    data += n;
    link->lastWriteProgress = Clock::now();
  }
  link->writePending = false;
  co_return !ec;
}

awaitable<void> RelayServer::WatchWrites() {
  // A peer that stops reading holds its writer (and, in a splice, the other side) forever: TCP
  // never gives up on a peer that still acknowledges but keeps its window shut.
  const auto period = std::clamp<Clock::duration>(options_.writeStallTimeout / 4, std::chrono::milliseconds(10),
                                                  std::chrono::seconds(1));
  while (!stopped_) {
    asio::error_code ec;
    writeWatch_.expires_after(period);
    co_await writeWatch_.async_wait(asio::redirect_error(use_awaitable, ec));
    if (stopped_) break;
    const Clock::time_point now = Clock::now();
    for (const auto& [id, weak] : links_) {
      const LinkPtr link = weak.lock();
      if (!link || link->closed || !link->writePending) continue;
      const auto stalled = std::chrono::duration_cast<std::chrono::milliseconds>(now - link->lastWriteProgress);
      if (stalled < options_.writeStallTimeout) continue;
      Log(kLogWarning, L"Dropping %s: it has taken nothing it was sent for %lld ms", link->peer,
          static_cast<long long>(stalled.count()));
      link->Close();  // its writer wakes with an error and winds the connection down
    }
  }
}

void RelayServer::Release(const LinkPtr& link) {
  link->Close();
  links_.erase(link->id);
}

}  // namespace tvx::relay

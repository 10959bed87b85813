// The relay's bookkeeping: which control link holds which host ID, the tickets of viewers waiting
// for their host to dial back, and the counters the status probe reports. No sockets here: links
// are numbered by the server.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tvx::relay {

using LinkId = std::uint64_t;

class RelayHub {
 public:
  // Draws ticket numbers; must be unguessable in the real relay.
  using TicketSource = std::function<std::uint64_t()>;
  explicit RelayHub(TicketSource tickets);

  enum class Registration { Accepted, IdInUse };
  Registration Register(const std::string& id, LinkId control);
  // Frees the ID, but only if `control` still holds it.
  void Unregister(const std::string& id, LinkId control);
  std::optional<LinkId> HostFor(const std::string& id) const;

  // Records a viewer link waiting for its host to dial back; returns its ticket.
  std::uint64_t OfferTicket(LinkId viewer);
  // The waiting viewer for a live ticket; the ticket is used up. Counts one carried connection.
  std::optional<LinkId> Claim(std::uint64_t ticket);
  // Forgets the ticket of a viewer link that gave up (timed out or went away) before a claim.
  void Withdraw(LinkId viewer);

  std::uint32_t hostsSharing() const { return static_cast<std::uint32_t>(hosts_.size()); }
  std::uint32_t connectionsCarried() const { return carried_; }
  std::size_t waitingViewers() const { return tickets_.size(); }

 private:
  TicketSource ticketSource_;
  std::map<std::string, LinkId> hosts_;
  std::map<std::uint64_t, LinkId> tickets_;
  std::uint32_t carried_ = 0;
};

}  // namespace tvx::relay

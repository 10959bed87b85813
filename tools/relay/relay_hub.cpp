#include "relay_hub.h"

#include <utility>

namespace tvx::relay {

RelayHub::RelayHub(TicketSource tickets) : ticketSource_(std::move(tickets)) {}

RelayHub::Registration RelayHub::Register(const std::string& id, LinkId control) {
  const auto [it, inserted] = hosts_.try_emplace(id, control);
  if (!inserted && it->second != control) return Registration::IdInUse;
  return Registration::Accepted;
}

void RelayHub::Unregister(const std::string& id, LinkId control) {
  const auto it = hosts_.find(id);
  if (it != hosts_.end() && it->second == control) hosts_.erase(it);
}

std::optional<LinkId> RelayHub::HostFor(const std::string& id) const {
  const auto it = hosts_.find(id);
  if (it == hosts_.end()) return std::nullopt;
  return it->second;
}

std::uint64_t RelayHub::OfferTicket(LinkId viewer) {
  std::uint64_t ticket = 0;
  // Zero and numbers still in use are drawn again; with 64 random bits this almost never loops.
  do {
    ticket = ticketSource_();
  } while (ticket == 0 || tickets_.count(ticket) != 0);
  tickets_.emplace(ticket, viewer);
  return ticket;
}

std::optional<LinkId> RelayHub::Claim(std::uint64_t ticket) {
  const auto it = tickets_.find(ticket);
  if (it == tickets_.end()) return std::nullopt;
  const LinkId viewer = it->second;
  tickets_.erase(it);
  ++carried_;
  return viewer;
}

void RelayHub::Withdraw(LinkId viewer) {
  std::erase_if(tickets_, [viewer](const auto& item) { return item.second == viewer; });
}

}  // namespace tvx::relay

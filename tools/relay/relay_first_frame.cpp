#include "relay_first_frame.h"

#include <algorithm>

#include "net/message_types.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"

namespace tvx::relay {

bool IsRelayId(const std::string& id) {
  return id.size() == 9 && std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

FirstFrame ClassifyFirstFrame(std::uint16_t type, std::span<const std::uint8_t> payload) {
  FirstFrame first;
  switch (type) {
    case msg::kRelayRegistration: {
      first.role = Role::Register;
      RelayRegistration registration;
      if (!Decode(payload, registration)) {
        first.refusal = "The registration is not 52 bytes long.";
      } else if (registration.version != kRelayProtocolVersion) {
        first.refusal = "This relay speaks relay protocol 1.";
      } else if (!IsRelayId(registration.relayId)) {
        first.refusal = "An ID is 9 digits.";
      } else {
        first.id = registration.relayId;
        first.computerName = registration.computerName;
      }
      break;
    }
    case msg::kHello: {
      Hello hello;
      if (Decode(payload, hello)) {
        first.role = Role::Viewer;
        first.id = hello.relayId;
      }
      break;
    }
    case msg::kRelayTicketClaim: {
      RelayTicket claim;
      if (Decode(payload, claim)) {
        first.role = Role::Claim;
        first.ticket = claim.ticket;
      }
      break;
    }
    case msg::kRelayStatus:
      first.role = Role::Status;
      break;
    default:
      break;
  }
  return first;
}

}  // namespace tvx::relay

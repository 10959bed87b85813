// The messages of the relay connections: the host's registration, the relay's tickets and
// refusals, the host's ticket claim on a dial-back, and the status probe.
#pragma once

#include <cstdint>
#include <string>

#include "net/message_types.h"

namespace tvx {

inline constexpr std::size_t kRelayRegistrationSize = 52;
inline constexpr std::size_t kRelayIdFieldSize = 16;
inline constexpr std::size_t kRelayIdMaxBytes = 15;
inline constexpr std::size_t kRelayNameFieldSize = 32;
inline constexpr std::size_t kRelayNameMaxBytes = 31;

struct RelayRegistration {
  std::uint32_t version = kRelayProtocolVersion;
  std::string relayId;       // UTF-8 digits; at most 15 bytes are written, always zero-terminated
  std::string computerName;  // UTF-8; at most 31 bytes are written, always zero-terminated

  bool operator==(const RelayRegistration&) const = default;
};
Bytes Encode(const RelayRegistration& registration);
bool Decode(ByteSpan payload, RelayRegistration& out);

// A ticket (0x32, relay to host) and its claim (0x33, host to relay on the dial-back): exactly 8
// bytes, the ticket number.
struct RelayTicket {
  std::uint64_t ticket = 0;

  bool operator==(const RelayTicket&) const = default;
};
Bytes Encode(const RelayTicket& ticket);
bool Decode(ByteSpan payload, RelayTicket& out);

// Refusal 0x34: the reason as UTF-8 text, not zero-terminated.
struct RelayRefusal {
  std::string reason;

  bool operator==(const RelayRefusal&) const = default;
};
Bytes Encode(const RelayRefusal& refusal);
bool Decode(ByteSpan payload, RelayRefusal& out);

// Status 0x35: the request is empty; the answer is exactly 16 bytes.
inline constexpr std::size_t kRelayStatusSize = 16;
struct RelayStatus {
  std::uint32_t reserved0 = 0;
  std::uint32_t hostsSharing = 0;
  std::uint32_t connectionsCarried = 0;
  std::uint32_t reserved1 = 0;

  bool operator==(const RelayStatus&) const = default;
};
Bytes Encode(const RelayStatus& status);
// False for any length but 16: the peer answered, but not as a relay.
bool Decode(ByteSpan payload, RelayStatus& out);

}  // namespace tvx

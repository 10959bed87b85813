// What the relay makes of a connection's first frame: it decides the connection's role.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tvx::relay {

// First frames larger than this are refused before they are read.
constexpr std::uint32_t kMaxFirstFrame = 4096;

enum class Role {
  Register,  // a host's control connection
  Viewer,    // a viewer's channel, greeting with the ID of the host it wants
  Claim,     // a host dialing back for a ticket
  Status,    // a status probe
  Unknown,
};

struct FirstFrame {
  Role role = Role::Unknown;
  std::string id;              // Register: the host's ID; Viewer: the ID asked for
  std::string computerName;    // Register
  std::uint64_t ticket = 0;    // Claim
  std::string refusal;         // Register: why it cannot be accepted (empty when it can)
};

FirstFrame ClassifyFirstFrame(std::uint16_t type, std::span<const std::uint8_t> payload);

// True for exactly nine ASCII digits.
bool IsRelayId(const std::string& id);

}  // namespace tvx::relay

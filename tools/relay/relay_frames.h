// The frames the relay writes and the header it reads, as whole byte strings ready to send.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::relay {

constexpr std::size_t kFrameHeaderSize = 12;

struct FrameHeaderFields {
  std::uint16_t type;
  std::uint16_t flags;
  std::uint32_t length;
};

// False when the magic is wrong.
bool ParseFrameHeader(const std::array<std::uint8_t, kFrameHeaderSize>& bytes, FrameHeaderFields* fields);

std::vector<std::uint8_t> MakeRegistered();
std::vector<std::uint8_t> MakeRelayRefusal(const std::string& reason);
std::vector<std::uint8_t> MakeTicket(std::uint64_t ticket);
std::vector<std::uint8_t> MakeNotSharingRefusal();
std::vector<std::uint8_t> MakeStatusAnswer(std::uint32_t hostsSharing, std::uint32_t connectionsCarried);

}  // namespace tvx::relay

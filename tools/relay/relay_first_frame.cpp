#include "relay_first_frame.h"

#include <algorithm>

namespace tvx::relay {
namespace {

std::uint32_t ReadU32(std::span<const std::uint8_t> p, std::size_t at) {
  return static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
         static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
}

std::uint64_t ReadU64(std::span<const std::uint8_t> p, std::size_t at) {
  return static_cast<std::uint64_t>(ReadU32(p, at)) | static_cast<std::uint64_t>(ReadU32(p, at + 4)) << 32;
}

// A zero-padded text field: the bytes up to the first zero.
std::string ReadField(std::span<const std::uint8_t> p, std::size_t at, std::size_t size) {
  const auto field = p.subspan(at, size);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

}  // namespace

bool IsRelayId(const std::string& id) {
  return id.size() == 9 && std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

FirstFrame ClassifyFirstFrame(std::uint16_t type, std::span<const std::uint8_t> payload) {
  FirstFrame first;
  switch (type) {
    case 0x30:  // registration: version, ID, computer name
      first.role = Role::Register;
      if (payload.size() != 52) {
        first.refusal = "The registration is not 52 bytes long.";
      } else if (ReadU32(payload, 0) != 1) {
        first.refusal = "This relay speaks relay protocol 1.";
      } else {
        first.id = ReadField(payload, 4, 16);
        first.computerName = ReadField(payload, 20, 32);
        if (!IsRelayId(first.id)) first.refusal = "An ID is 9 digits.";
      }
      break;
    case 0x01:  // a viewer's greeting, with the ID of the host it wants
      if (payload.size() == 80) {
        first.role = Role::Viewer;
        first.id = ReadField(payload, 64, 16);
      }
      break;
    case 0x33:  // a host claiming a ticket
      if (payload.size() == 8) {
        first.role = Role::Claim;
        first.ticket = ReadU64(payload, 0);
      }
      break;
    case 0x35:
      first.role = Role::Status;
      break;
    default:
      break;
  }
  return first;
}

}  // namespace tvx::relay

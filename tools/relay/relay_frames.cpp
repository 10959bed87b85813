#include "relay_frames.h"

#include <cstring>

namespace tvx::relay {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> Frame(std::uint16_t type, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out = {'T', 'V', 'R', 'X'};
  PutU16(out, type);
  PutU16(out, 0);
  PutU32(out, static_cast<std::uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

}  // namespace

bool ParseFrameHeader(const std::array<std::uint8_t, kFrameHeaderSize>& b, FrameHeaderFields* fields) {
  if (std::memcmp(b.data(), "TVRX", 4) != 0) return false;
  fields->type = static_cast<std::uint16_t>(b[4] | b[5] << 8);
  fields->flags = static_cast<std::uint16_t>(b[6] | b[7] << 8);
  fields->length = static_cast<std::uint32_t>(b[8]) | static_cast<std::uint32_t>(b[9]) << 8 |
                   static_cast<std::uint32_t>(b[10]) << 16 | static_cast<std::uint32_t>(b[11]) << 24;
  return true;
}

std::vector<std::uint8_t> MakeRegistered() { return Frame(0x31, {}); }

std::vector<std::uint8_t> MakeRelayRefusal(const std::string& reason) {
  return Frame(0x34, std::vector<std::uint8_t>(reason.begin(), reason.end()));
}

std::vector<std::uint8_t> MakeTicket(std::uint64_t ticket) {
  std::vector<std::uint8_t> payload;
  PutU64(payload, ticket);
  return Frame(0x32, payload);
}

std::vector<std::uint8_t> MakeNotSharingRefusal() {
  std::vector<std::uint8_t> payload;
  PutU32(payload, 4);
  return Frame(0x81, payload);
}

std::vector<std::uint8_t> MakeStatusAnswer(std::uint32_t hostsSharing, std::uint32_t connectionsCarried) {
  std::vector<std::uint8_t> payload;
  PutU32(payload, 0);
  PutU32(payload, hostsSharing);
  PutU32(payload, connectionsCarried);
  PutU32(payload, 0);
  return Frame(0x35, payload);
}

}  // namespace tvx::relay

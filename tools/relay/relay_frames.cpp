#include "relay_frames.h"

#include "net/connection.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"

namespace tvx::relay {
namespace {

Bytes Frame(std::uint16_t type, const Bytes& payload) {
  Bytes frame(kFrameHeaderSize);
  WriteFrameHeader(FrameHeader{kFrameMagic, type, 0, static_cast<std::uint32_t>(payload.size())}, frame.data());
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

}  // namespace

Bytes MakeRegistered() { return Frame(msg::kRelayRegistered, {}); }

Bytes MakeRelayRefusal(const std::string& reason) { return Frame(msg::kRelayRefusal, Encode(RelayRefusal{reason})); }

Bytes MakeTicket(std::uint64_t ticket) { return Frame(msg::kRelayTicket, Encode(RelayTicket{ticket})); }

Bytes MakeNotSharingRefusal() { return Frame(msg::kRefusal, Encode(Refusal{kRefusedNotSharing})); }

Bytes MakeStatusAnswer(std::uint32_t hostsSharing, std::uint32_t connectionsCarried) {
  RelayStatus status;
  status.hostsSharing = hostsSharing;
  status.connectionsCarried = connectionsCarried;
  return Frame(msg::kRelayStatus, Encode(status));
}

}  // namespace tvx::relay

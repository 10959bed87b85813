#include "net/relay_messages.h"

#include "net/byte_io.h"

namespace tvx {

Bytes Encode(const RelayRegistration& registration) {
  Bytes out;
  out.reserve(kRelayRegistrationSize);
  ByteWriter w(out);
  w.U32(registration.version);
  w.FixedText(registration.relayId, kRelayIdFieldSize, kRelayIdMaxBytes);
  w.FixedText(registration.computerName, kRelayNameFieldSize, kRelayNameMaxBytes);
  return out;
}

bool Decode(ByteSpan payload, RelayRegistration& out) {
  if (payload.size() < kRelayRegistrationSize) return false;
  ByteReader r(payload);
  out.version = r.U32();
  out.relayId = r.FixedText(kRelayIdFieldSize);
  out.computerName = r.FixedText(kRelayNameFieldSize);
  return r.ok();
}

Bytes Encode(const RelayTicket& ticket) {
  Bytes out;
  ByteWriter(out).U64(ticket.ticket);
  return out;
}

bool Decode(ByteSpan payload, RelayTicket& out) {
  if (payload.size() != 8) return false;
  out.ticket = ByteReader(payload).U64();
  return true;
}

Bytes Encode(const RelayRefusal& refusal) { return Bytes(refusal.reason.begin(), refusal.reason.end()); }

bool Decode(ByteSpan payload, RelayRefusal& out) {
  out.reason.assign(reinterpret_cast<const char*>(payload.data()), payload.size());
  return true;
}

Bytes Encode(const RelayStatus& status) {
  Bytes out;
  ByteWriter w(out);
  w.U32(status.reserved0);
  w.U32(status.hostsSharing);
  w.U32(status.connectionsCarried);
  w.U32(status.reserved1);
  return out;
}

bool Decode(ByteSpan payload, RelayStatus& out) {
  if (payload.size() != kRelayStatusSize) return false;
  ByteReader r(payload);
  out.reserved0 = r.U32();
  out.hostsSharing = r.U32();
  out.connectionsCarried = r.U32();
  out.reserved1 = r.U32();
  return r.ok();
}

}  // namespace tvx

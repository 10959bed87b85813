// Feeds arbitrary payloads to every message decoder. The first byte picks the decoder. A payload
// that decodes must survive a second trip unchanged (Decode(Encode(record)) == record), which
// catches encoders and decoders that disagree about a layout or a rule.
#include <cstdint>
#include <cstdlib>

#include "net/picture_messages.h"
#include "net/pointer_messages.h"
#include "net/relay_messages.h"

namespace {

using tvx::ByteSpan;

// Exact: the decoded record survives a trip unchanged. Not exact (a reader takes more than a
// writer gives, as with the relay ID's full 16-byte field): the record settles after one trip.
template <class Record, bool kExact = true>
void Check(ByteSpan payload) {
  Record record{};
  if (!Decode(payload, record)) return;
  Record again{};
  if (!Decode(ByteSpan(Encode(record)), again)) std::abort();
  if constexpr (!kExact) {
    record = again;
    if (!Decode(ByteSpan(Encode(record)), again)) std::abort();
  }
  if (!(again == record)) std::abort();
}

void CheckWithin(ByteSpan inner, ByteSpan outer) {
  if (inner.empty()) return;
  if (inner.data() < outer.data() || inner.data() + inner.size() > outer.data() + outer.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ByteSpan payload(data + 1, size - 1);
  switch (data[0] % 27) {
    case 0: {
      Check<tvx::Hello>(payload);
      tvx::Hello hello;
      tvx::DecodeGreeting(tvx::FrameHeader{tvx::kFrameMagic, tvx::msg::kHello, 0, 80}, payload, hello);
      break;
    }
    case 1: Check<tvx::Refusal>(payload); break;
    case 2: {
      Check<tvx::ScreenDescription>(payload);
      tvx::ScreenDescription d;
      if (Decode(payload, d)) (void)d.IsValid();
      break;
    }
    case 3: {
      // Grid size from the first four bytes, as a viewer's description would set it.
      if (payload.size() < 4) break;
      const std::uint32_t columns = payload[0] | payload[1] << 8;
      const std::uint32_t rows = payload[2] | payload[3] << 8;
      const ByteSpan frame = payload.subspan(4);
      tvx::TileFrame out;
      if (!tvx::DecodeTileFrame(frame, columns, rows, out)) break;
      if (out.tiles.size() > out.declaredCount) std::abort();
      for (const tvx::TileEntry& t : out.tiles) {
        if (t.column >= columns || t.row >= rows) std::abort();
        CheckWithin(t.jpeg, frame);
      }
      break;
    }
    case 4: Check<tvx::MonitorList>(payload); break;
    case 5: Check<tvx::Permissions>(payload); break;
    case 6: Check<tvx::ClipboardText>(payload); break;
    case 7: Check<tvx::Heartbeat>(payload); break;
    case 8: Check<tvx::HeartbeatEcho>(payload); break;
    case 9: Check<tvx::ViewerPointer>(payload); break;
    case 10: Check<tvx::DrawingRecord>(payload); break;
    case 11: Check<tvx::DrawingsEdit>(payload); break;
    case 12: Check<tvx::PointPing>(payload); break;
    case 13: Check<tvx::PictureRequest>(payload); break;
    case 14: Check<tvx::ChooseMonitor>(payload); break;
    case 15: Check<tvx::OverlayPreferences>(payload); break;
    case 16: Check<tvx::ControlMouse>(payload); break;
    case 17: Check<tvx::ControlKey>(payload); break;
    case 18: Check<tvx::ControlText>(payload); break;
    case 19: Check<tvx::SoundRequest>(payload); break;
    case 20: Check<tvx::SoundFormat>(payload); break;
    case 21: {
      if (payload.empty()) break;
      const std::uint16_t channels = payload[0] % 10;
      const ByteSpan packet = payload.subspan(1);
      tvx::SoundData out;
      if (!Decode(packet, channels, out)) break;
      if (out.samples.size() != static_cast<std::size_t>(out.frames) * channels * 2) std::abort();
      CheckWithin(out.samples, packet);
      break;
    }
    case 22: Check<tvx::HostCursor>(payload); break;
    case 23: Check<tvx::PointerBusyNotice>(payload); break;
    case 24: Check<tvx::RelayRegistration, false>(payload); break;
    case 25: Check<tvx::RelayTicket>(payload); break;
    case 26: {
      Check<tvx::RelayStatus>(payload);
      Check<tvx::RelayRefusal>(payload);
      break;
    }
  }
  return 0;
}

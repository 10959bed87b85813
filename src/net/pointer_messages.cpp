#include "net/pointer_messages.h"

#include <algorithm>
#include <cmath>

#include "net/byte_io.h"

namespace tvx {
namespace {

// NaN and infinities from a hostile peer must not reach drawing or injection code.
float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }
float Unit(float v) { return std::clamp(Finite(v), 0.0f, 1.0f); }

}  // namespace

Bytes Encode(const Heartbeat& heartbeat) {
  Bytes out;
  ByteWriter w(out);
  w.U64(heartbeat.tick);
  w.U32(heartbeat.latency);
  return out;
}

bool Decode(ByteSpan payload, Heartbeat& out) {
  ByteReader r(payload);
  out.tick = r.U64();
  if (!r.ok()) return false;
  out.latency = r.remaining() >= 4 ? r.U32() : 0;
  return true;
}

Bytes Encode(const HeartbeatEcho& echo) {
  Bytes out;
  ByteWriter w(out);
  w.U64(echo.tick);
  w.U32(echo.pictureKbps);
  w.U32(echo.tilesPerSecond);
  return out;
}

bool Decode(ByteSpan payload, HeartbeatEcho& out) {
  ByteReader r(payload);
  out.tick = r.U64();
  out.pictureKbps = r.U32();
  out.tilesPerSecond = r.U32();
  return r.ok();
}

Bytes Encode(const ViewerPointer& pointer) {
  Bytes out;
  ByteWriter w(out);
  w.F32(pointer.x);
  w.F32(pointer.y);
  w.U8(pointer.visible ? 1 : 0);
  w.Zeros(3);
  w.U32(pointer.colour);
  return out;
}

bool Decode(ByteSpan payload, ViewerPointer& out) {
  ByteReader r(payload);
  out.x = Unit(r.F32());
  out.y = Unit(r.F32());
  out.visible = r.U8() != 0;
  r.Skip(3);
  out.colour = r.U32();
  return r.ok();
}

Bytes Encode(const DrawingRecord& d) {
  const std::size_t points = std::min<std::size_t>(d.points.size(), kDrawingMaxPoints);
  const std::size_t units = std::min(d.text.size(), kDrawingMaxTextUnits);
  Bytes out;
  out.reserve(kDrawingHeaderSize + 8 * points + 2 * units);
  ByteWriter w(out);
  w.U32(d.id);
  w.U8(d.shape);
  w.U8(d.style);
  w.U16(static_cast<std::uint16_t>(units));
  w.U32(d.colour);
  w.F32(d.width);
  w.U32(d.lifetimeMs);
  w.U32(static_cast<std::uint32_t>(points));
  for (std::size_t i = 0; i < points; ++i) {
    w.F32(d.points[i].x);
    w.F32(d.points[i].y);
  }
  w.Utf16(std::u16string_view(d.text).substr(0, units));
  return out;
}

bool Decode(ByteSpan payload, DrawingRecord& out) {
  ByteReader r(payload);
  out.id = r.U32();
  out.shape = r.U8();
  const std::uint8_t style = r.U8();
  const std::uint16_t textUnits = r.U16();
  out.colour = r.U32();
  const float width = r.F32();
  out.lifetimeMs = r.U32();
  const std::uint32_t count = r.U32();
  if (!r.ok() || count > kDrawingMaxPoints || static_cast<std::uint64_t>(count) * 8 > r.remaining()) return false;
  out.style = style <= 2 ? style : 0;
  out.width = std::isnan(width) ? 1.0f : std::clamp(width, 1.0f, 40.0f);
  out.points.resize(count);
  for (DrawingPoint& p : out.points) {
    p.x = Finite(r.F32());
    p.y = Finite(r.F32());
  }
  out.text.clear();
  const std::size_t units = std::min<std::size_t>(textUnits, kDrawingMaxTextUnits);
  if (units * 2 <= r.remaining()) {
    out.text = r.Utf16(units);
    for (char16_t& c : out.text) {
      if (c < 32 || c == 127) c = u' ';
    }
  }
  return r.ok();
}

Bytes Encode(const DrawingsEdit& edit) {
  Bytes out;
  ByteWriter(out).U32(edit.action);
  return out;
}

bool Decode(ByteSpan payload, DrawingsEdit& out) {
  ByteReader r(payload);
  out.action = r.U32();
  return r.ok();
}

Bytes Encode(const PointPing& ping) {
  Bytes out;
  ByteWriter w(out);
  w.F32(ping.x);
  w.F32(ping.y);
  w.U32(ping.colour);
  w.U8(ping.style);
  w.Zeros(3);
  return out;
}

bool Decode(ByteSpan payload, PointPing& out) {
  if (payload.size() < 16) return false;
  ByteReader r(payload);
  out.x = Finite(r.F32());
  out.y = Finite(r.F32());
  out.colour = r.U32();
  out.style = r.U8();
  return r.ok();
}

Bytes Encode(const PictureRequest& request) {
  Bytes out;
  ByteWriter w(out);
  w.U8(request.quality);
  w.U8(request.frameRate);
  w.U16(request.maxWidth);
  return out;
}

bool Decode(ByteSpan payload, PictureRequest& out) {
  ByteReader r(payload);
  out.quality = r.U8();
  out.frameRate = r.U8();
  out.maxWidth = r.U16();
  return r.ok();
}

Bytes Encode(const ChooseMonitor& choice) {
  Bytes out;
  ByteWriter(out).U32(choice.index);
  return out;
}

bool Decode(ByteSpan payload, ChooseMonitor& out) {
  ByteReader r(payload);
  out.index = r.U32();
  return r.ok();
}

Bytes Encode(const OverlayPreferences& preferences) {
  return Bytes{static_cast<std::uint8_t>(preferences.showPointer ? 1 : 0),
               static_cast<std::uint8_t>(preferences.showDrawings ? 1 : 0), 0, 0};
}

bool Decode(ByteSpan payload, OverlayPreferences& out) {
  if (payload.size() < 4) return false;
  out.showPointer = payload[0] != 0;
  out.showDrawings = payload[1] != 0;
  return true;
}

Bytes Encode(const ControlMouse& mouse) {
  Bytes out;
  ByteWriter w(out);
  w.F32(mouse.x);
  w.F32(mouse.y);
  w.U8(mouse.kind);
  w.U8(mouse.button);
  w.I16(mouse.wheelDelta);
  return out;
}

bool Decode(ByteSpan payload, ControlMouse& out) {
  ByteReader r(payload);
  out.x = Unit(r.F32());
  out.y = Unit(r.F32());
  out.kind = r.U8();
  out.button = r.U8();
  out.wheelDelta = r.I16();
  return r.ok() && out.button <= kControlMaxButton;
}

Bytes Encode(const ControlKey& key) {
  Bytes out;
  ByteWriter w(out);
  w.U16(key.virtualKey);
  w.U16(key.scanCode);
  w.U8(key.down ? 1 : 0);
  w.U8(key.extended ? 1 : 0);
  w.U16(static_cast<std::uint16_t>(key.character));
  return out;
}

bool Decode(ByteSpan payload, ControlKey& out) {
  ByteReader r(payload);
  out.virtualKey = r.U16();
  out.scanCode = r.U16();
  out.down = r.U8() != 0;
  out.extended = r.U8() != 0;
  out.character = static_cast<char16_t>(r.U16());
  return r.ok() && (out.virtualKey != 0 || out.scanCode != 0);
}

Bytes Encode(const ControlText& text) {
  Bytes out;
  if (text.text.empty() || text.text.size() > kControlTextMaxUnits) return out;
  ByteWriter w(out);
  w.U32(static_cast<std::uint32_t>(text.text.size()));
  w.Utf16(text.text);
  return out;
}

bool Decode(ByteSpan payload, ControlText& out) {
  ByteReader r(payload);
  const std::uint32_t count = r.U32();
  if (!r.ok() || count == 0 || count > kControlTextMaxUnits || count * 2u > r.remaining()) return false;
  out.text = r.Utf16(count);
  return r.ok();
}

Bytes Encode(const SoundRequest& request) {
  return Bytes{static_cast<std::uint8_t>(request.on ? 1 : 0), 0, 0, 0};
}

bool Decode(ByteSpan payload, SoundRequest& out) {
  if (payload.size() < 4) return false;
  out.on = payload[0] != 0;
  return true;
}

Bytes Encode(const SoundFormat& format) {
  Bytes out;
  ByteWriter w(out);
  w.U32(format.sampleRate);
  w.U16(format.channels);
  w.U16(format.bitsPerSample);
  return out;
}

bool Decode(ByteSpan payload, SoundFormat& out) {
  ByteReader r(payload);
  out.sampleRate = r.U32();
  out.channels = r.U16();
  out.bitsPerSample = r.U16();
  return r.ok() && out.IsValid();
}

Bytes Encode(const SoundDataHeader& header) {
  Bytes out;
  ByteWriter w(out);
  w.U32(header.sequence);
  w.U32(header.frames);
  return out;
}

bool Decode(ByteSpan payload, std::uint16_t channels, SoundData& out) {
  ByteReader r(payload);
  out.sequence = r.U32();
  out.frames = r.U32();
  if (!r.ok() || out.frames == 0 || channels == 0) return false;
  const std::uint64_t bytes = static_cast<std::uint64_t>(out.frames) * channels * 2;
  if (bytes > r.remaining()) return false;
  out.samples = r.Take(static_cast<std::size_t>(bytes));
  return r.ok();
}

Bytes Encode(const HostCursor& cursor) {
  Bytes out;
  ByteWriter w(out);
  w.F32(cursor.x);
  w.F32(cursor.y);
  w.U32(cursor.onSharedMonitor ? 1 : 0);
  return out;
}

bool Decode(ByteSpan payload, HostCursor& out) {
  ByteReader r(payload);
  out.x = Unit(r.F32());
  out.y = Unit(r.F32());
  out.onSharedMonitor = r.U32() != 0;
  return r.ok();
}

Bytes Encode(const PointerBusyNotice& notice) {
  Bytes out;
  out.reserve(kPointerBusySize);
  ByteWriter w(out);
  w.U32(notice.busyMs);
  w.U8(notice.holder);
  w.Zeros(3);
  w.FixedText(notice.holderName, kPointerBusyNameSize);
  return out;
}

bool Decode(ByteSpan payload, PointerBusyNotice& out) {
  if (payload.size() < kPointerBusySize) return false;
  ByteReader r(payload);
  out.busyMs = r.U32();
  out.holder = r.U8();
  r.Skip(3);
  out.holderName = r.FixedText(kPointerBusyNameSize);
  return r.ok();
}

}  // namespace tvx

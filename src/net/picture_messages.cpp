#include "net/picture_messages.h"

#include <algorithm>

#include "net/byte_io.h"

namespace tvx {

Bytes Encode(const Hello& hello) {
  Bytes out;
  out.reserve(kHelloSize);
  ByteWriter w(out);
  w.U32(hello.version);
  w.U8(hello.channel);
  w.Zeros(3);
  w.U64(hello.nonce);
  w.FixedText(hello.code, kHelloCodeSize);
  w.FixedText(hello.name, kHelloNameSize);
  w.FixedText(hello.relayId, kHelloRelayIdSize);
  return out;
}

bool Decode(ByteSpan payload, Hello& out) {
  if (payload.size() != kHelloSize) return false;
  ByteReader r(payload);
  out.version = r.U32();
  out.channel = r.U8();
  r.Skip(3);
  out.nonce = r.U64();
  out.code = r.FixedText(kHelloCodeSize);
  out.name = r.FixedText(kHelloNameSize);
  out.relayId = r.FixedText(kHelloRelayIdSize);
  return r.ok();
}

bool DecodeGreeting(const FrameHeader& header, ByteSpan payload, Hello& out) {
  return header.type == msg::kHello && Decode(payload, out);
}

Bytes Encode(const Refusal& refusal) {
  Bytes out;
  ByteWriter(out).U32(refusal.reason);
  return out;
}

bool Decode(ByteSpan payload, Refusal& out) {
  out.reason = payload.size() >= 4 ? ByteReader(payload).U32() : 0;
  return true;
}

const wchar_t* RefusalText(std::uint32_t reason) {
  switch (reason) {
    case kRefusedWrongCode:
      return L"That code is not right.";
    case kRefusedVersion:
      return L"The two Tavrix versions do not match.";
    case kRefusedFull:
      return L"The host already has as many viewers as it allows.";
    case kRefusedNotSharing:
      return L"The host is not sharing right now.";
    default:
      return L"The host refused the connection.";
  }
}

bool ScreenDescription::IsValid() const {
  auto inRange = [](std::uint32_t v, std::uint32_t high) { return v >= 1 && v <= high; };
  if (!inRange(width, 16384) || !inRange(height, 16384)) return false;
  if (!inRange(tileWidth, 1024) || !inRange(tileHeight, 1024) || rotation > 3) return false;
  return columns == (width + tileWidth - 1) / tileWidth && rows == (height + tileHeight - 1) / tileHeight;
}

Bytes Encode(const ScreenDescription& d) {
  Bytes out;
  out.reserve(kScreenDescriptionSize);
  ByteWriter w(out);
  w.U32(d.version);
  w.I32(d.left);
  w.I32(d.top);
  w.U32(d.monitorWidth);
  w.U32(d.monitorHeight);
  w.U32(d.width);
  w.U32(d.height);
  w.U16(d.tileWidth);
  w.U16(d.tileHeight);
  w.U16(d.columns);
  w.U16(d.rows);
  w.U32(d.monitorIndex);
  w.U32(d.monitorCount);
  w.U8(d.quality);
  w.U8(d.frameRate);
  w.U8(d.rotation);
  w.U8(d.permissions);
  return out;
}

bool Decode(ByteSpan payload, ScreenDescription& d) {
  if (payload.size() < kScreenDescriptionSize) return false;
  ByteReader r(payload);
  d.version = r.U32();
  d.left = r.I32();
  d.top = r.I32();
  d.monitorWidth = r.U32();
  d.monitorHeight = r.U32();
  d.width = r.U32();
  d.height = r.U32();
  d.tileWidth = r.U16();
  d.tileHeight = r.U16();
  d.columns = r.U16();
  d.rows = r.U16();
  d.monitorIndex = r.U32();
  d.monitorCount = r.U32();
  d.quality = r.U8();
  d.frameRate = r.U8();
  d.rotation = r.U8();
  d.permissions = r.U8();
  return r.ok();
}

TileFrameBuilder::TileFrameBuilder(std::uint32_t turn) {
  ByteWriter w(payload_);
  w.U32(turn);
  w.U16(0);
  w.U16(0);
}

bool TileFrameBuilder::Add(std::uint16_t column, std::uint16_t row, ByteSpan jpeg, std::size_t limit) {
  if (count_ == 0xFFFF || jpeg.size() > kFrameCap) return false;
  const std::size_t cap = std::min<std::size_t>(limit, kFrameCap);
  if (payload_.size() + EntrySize(jpeg.size()) > cap) return false;
  ByteWriter w(payload_);
  w.U16(column);
  w.U16(row);
  w.U32(static_cast<std::uint32_t>(jpeg.size()));
  w.Bytes(jpeg);
  ++count_;
  payload_[4] = static_cast<std::uint8_t>(count_);
  payload_[5] = static_cast<std::uint8_t>(count_ >> 8);
  return true;
}

Bytes TileFrameBuilder::Take() {
  Bytes out = std::move(payload_);
  payload_.clear();
  count_ = 0;
  return out;
}

bool DecodeTileFrame(ByteSpan payload, std::uint32_t columns, std::uint32_t rows, TileFrame& out) {
  out.tiles.clear();
  if (payload.size() < kTileFrameHeaderSize) return false;
  ByteReader r(payload);
  out.turn = r.U32();
  out.declaredCount = r.U16();
  r.Skip(2);
  for (std::uint32_t i = 0; i < out.declaredCount; ++i) {
    if (r.remaining() < kTileEntryHeaderSize) break;
    TileEntry entry;
    entry.column = r.U16();
    entry.row = r.U16();
    const std::uint32_t length = r.U32();
    if (length > r.remaining()) break;
    entry.jpeg = r.Take(length);
    if (entry.column >= columns || entry.row >= rows) continue;
    out.tiles.push_back(entry);
  }
  return true;
}

Bytes Encode(const MonitorList& list) {
  Bytes out;
  out.reserve(8 + kMonitorEntrySize * list.monitors.size());
  ByteWriter w(out);
  w.U32(static_cast<std::uint32_t>(list.monitors.size()));
  w.U32(list.sharedIndex);
  for (const MonitorEntry& m : list.monitors) {
    w.U32(m.index);
    w.I32(m.left);
    w.I32(m.top);
    w.U32(m.width);
    w.U32(m.height);
    w.U8(m.primary ? 1 : 0);
    w.Zeros(3);
    w.FixedText(m.deviceName, kMonitorNameSize);
  }
  return out;
}

bool Decode(ByteSpan payload, MonitorList& out) {
  out.monitors.clear();
  ByteReader r(payload);
  const std::uint32_t count = r.U32();
  out.sharedIndex = r.U32();
  if (!r.ok() || static_cast<std::uint64_t>(count) * kMonitorEntrySize > r.remaining()) return false;
  out.monitors.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    MonitorEntry m;
    m.index = r.U32();
    m.left = r.I32();
    m.top = r.I32();
    m.width = r.U32();
    m.height = r.U32();
    m.primary = r.U8() != 0;
    r.Skip(3);
    m.deviceName = r.FixedText(kMonitorNameSize);
    out.monitors.push_back(std::move(m));
  }
  return r.ok();
}

Bytes Encode(const Permissions& permissions) {
  Bytes out;
  ByteWriter(out).U32(permissions.bits);
  return out;
}

bool Decode(ByteSpan payload, Permissions& out) {
  ByteReader r(payload);
  const std::uint32_t value = r.U32();
  if (!r.ok()) return false;
  out.bits = static_cast<std::uint8_t>(value & 0xFF);
  return true;
}

Bytes EncodeHostGoodbye() {
  Bytes out;
  ByteWriter(out).U32(1);
  return out;
}

Bytes Encode(const ClipboardText& clipboard) {
  Bytes out;
  if (clipboard.utf8.empty() || clipboard.utf8.size() > kClipboardMaxBytes) return out;
  out.reserve(8 + clipboard.utf8.size());
  ByteWriter w(out);
  w.U32(kClipboardFormatUtf8);
  w.U32(static_cast<std::uint32_t>(clipboard.utf8.size()));
  w.Bytes(clipboard.utf8);
  return out;
}

bool Decode(ByteSpan payload, ClipboardText& out) {
  ByteReader r(payload);
  const std::uint32_t format = r.U32();
  const std::uint32_t length = r.U32();
  if (!r.ok() || format != kClipboardFormatUtf8 || length == 0 || length > kClipboardMaxBytes) return false;
  const auto text = r.Take(length);
  if (!r.ok()) return false;
  out.utf8.assign(reinterpret_cast<const char*>(text.data()), text.size());
  return true;
}

}  // namespace tvx

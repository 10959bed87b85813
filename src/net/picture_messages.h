// The greeting and the picture channel's messages: HELLO, refusal, screen description, tile
// frame, monitor list, permissions, host goodbye and clipboard text.
//
// Every Decode takes the payload as received and returns false when the message is to be ignored
// (too short, or breaking a rule of its row); it never reads past the payload and checks every
// count against the payload size before allocating. Text fields carry UTF-8 bytes as on the wire.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/message_types.h"

namespace tvx {

inline constexpr std::size_t kHelloSize = 80;
inline constexpr std::size_t kHelloCodeSize = 16;
inline constexpr std::size_t kHelloNameSize = 32;
inline constexpr std::size_t kHelloRelayIdSize = 16;

struct Hello {
  std::uint32_t version = kProtocolVersion;
  std::uint8_t channel = 0;  // 0 picture; the host takes any other value as the pointer channel
  std::uint64_t nonce = 0;
  std::string code;     // as typed, UTF-8, at most 16 bytes on the wire
  std::string name;     // at most 32 bytes
  std::string relayId;  // decimal digits, empty for a direct connection

  bool operator==(const Hello&) const = default;
};
inline constexpr std::uint8_t kPictureChannel = 0;
inline constexpr std::uint8_t kPointerChannel = 1;

Bytes Encode(const Hello& hello);
// Exactly 80 bytes.
bool Decode(ByteSpan payload, Hello& out);
// A valid greeting: a frame of type HELLO (flags not examined) whose payload decodes.
bool DecodeGreeting(const FrameHeader& header, ByteSpan payload, Hello& out);

enum RefusalReason : std::uint32_t {
  kRefusedWrongCode = 1,
  kRefusedVersion = 2,
  kRefusedFull = 3,
  kRefusedNotSharing = 4,
};
struct Refusal {
  std::uint32_t reason = 0;

  bool operator==(const Refusal&) const = default;
};
Bytes Encode(const Refusal& refusal);
// Always succeeds: a payload under 4 bytes reads as reason 0.
bool Decode(ByteSpan payload, Refusal& out);
// The viewer's text for a refusal reason.
const wchar_t* RefusalText(std::uint32_t reason);

inline constexpr std::size_t kScreenDescriptionSize = 48;
struct ScreenDescription {
  std::uint32_t version = kProtocolVersion;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::uint32_t monitorWidth = 0;
  std::uint32_t monitorHeight = 0;
  std::uint32_t width = 0;   // picture pixels
  std::uint32_t height = 0;
  std::uint16_t tileWidth = 0;
  std::uint16_t tileHeight = 0;
  std::uint16_t columns = 0;
  std::uint16_t rows = 0;
  std::uint32_t monitorIndex = 0;
  std::uint32_t monitorCount = 0;
  std::uint8_t quality = 0;
  std::uint8_t frameRate = 0;
  std::uint8_t rotation = 0;
  std::uint8_t permissions = 0;

  // Sizes 1..16384, tiles 1..1024, rotation at most 3, and the grid matching the picture.
  bool IsValid() const;

  bool operator==(const ScreenDescription&) const = default;
};
Bytes Encode(const ScreenDescription& description);
// At least 48 bytes; the result may still be invalid (check IsValid before use).
bool Decode(ByteSpan payload, ScreenDescription& out);

// Tile frame: a turn number and tiles, each one complete JPEG file.
inline constexpr std::size_t kTileFrameHeaderSize = 8;
inline constexpr std::size_t kTileEntryHeaderSize = 8;
struct TileEntry {
  std::uint16_t column = 0;
  std::uint16_t row = 0;
  ByteSpan jpeg;  // points into the payload it was read from
};
struct TileFrame {
  std::uint32_t turn = 0;
  std::uint16_t declaredCount = 0;
  std::vector<TileEntry> tiles;
};

// Builds a tile frame payload entry by entry, never past the frame cap or 65535 tiles.
class TileFrameBuilder {
 public:
  explicit TileFrameBuilder(std::uint32_t turn);
  // Entry header plus JPEG size; what Add needs to fit.
  static std::size_t EntrySize(std::size_t jpegBytes) { return kTileEntryHeaderSize + jpegBytes; }
  // False (and nothing added) when the tile would take the payload past `limit` (at most the
  // frame cap) or the count past 65535.
  bool Add(std::uint16_t column, std::uint16_t row, ByteSpan jpeg, std::size_t limit = kFrameCap);
  std::uint16_t count() const { return count_; }
  std::size_t size() const { return payload_.size(); }
  // The finished payload; the builder is empty afterwards.
  Bytes Take();

 private:
  Bytes payload_;
  std::uint16_t count_ = 0;
};

// Reads the entries in order, stopping at the first entry header or JPEG that would run past the
// payload and skipping entries outside a `columns` x `rows` grid. False only when the payload is
// shorter than its 8-byte header.
bool DecodeTileFrame(ByteSpan payload, std::uint32_t columns, std::uint32_t rows, TileFrame& out);

inline constexpr std::size_t kMonitorEntrySize = 56;
inline constexpr std::size_t kMonitorNameSize = 32;
struct MonitorEntry {
  std::uint32_t index = 0;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool primary = false;
  std::string deviceName;  // UTF-8, at most 32 bytes on the wire

  bool operator==(const MonitorEntry&) const = default;
};
struct MonitorList {
  std::uint32_t sharedIndex = 0;
  std::vector<MonitorEntry> monitors;

  bool operator==(const MonitorList&) const = default;
};
Bytes Encode(const MonitorList& list);
// False when the payload is shorter than 8 + 56 x count.
bool Decode(ByteSpan payload, MonitorList& out);

struct Permissions {
  std::uint8_t bits = 0;  // kPermitControl | kPermitClipboard | kPermitSound

  bool operator==(const Permissions&) const = default;
};
Bytes Encode(const Permissions& permissions);
bool Decode(ByteSpan payload, Permissions& out);

// Host goodbye: u32 1; a receiver treats any payload the same.
Bytes EncodeHostGoodbye();

// Clipboard text on both viewer channels.
inline constexpr std::uint32_t kClipboardFormatUtf8 = 1;
inline constexpr std::uint32_t kClipboardMaxBytes = 4194304;
struct ClipboardText {
  std::string utf8;  // 1 to 4,194,304 bytes, no terminating zero

  bool operator==(const ClipboardText&) const = default;
};
// Empty when the text cannot be sent (empty or above 4 MiB): send nothing then.
Bytes Encode(const ClipboardText& clipboard);
bool Decode(ByteSpan payload, ClipboardText& out);

}  // namespace tvx

// The pointer channel's messages: the viewer's heartbeat, pointer, drawings, picture and monitor
// requests, remote input and sound request; the host's heartbeat echo, cursor, busy notice and
// sound. (Clipboard text travels here too, see picture_messages.h.)
//
// Decoders return false when the receiver is to ignore the message and apply the receiver's rules
// of each message: positions the host clamps are clamped (a value that is not a number becomes 0),
// drawing texts are cut and cleaned. Encoders write what they are given, except where noted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/message_types.h"

namespace tvx {

struct Heartbeat {
  std::uint64_t tick = 0;     // the viewer's millisecond tick when sent
  std::uint32_t latency = 0;  // last measured, 0 before the first echo

  bool operator==(const Heartbeat&) const = default;
};
Bytes Encode(const Heartbeat& heartbeat);
// 8 bytes or more; a missing latency reads as 0.
bool Decode(ByteSpan payload, Heartbeat& out);

struct HeartbeatEcho {
  std::uint64_t tick = 0;
  std::uint32_t pictureKbps = 0;
  std::uint32_t tilesPerSecond = 0;

  bool operator==(const HeartbeatEcho&) const = default;
};
Bytes Encode(const HeartbeatEcho& echo);
bool Decode(ByteSpan payload, HeartbeatEcho& out);

struct ViewerPointer {
  float x = 0;
  float y = 0;
  bool visible = false;
  std::uint32_t colour = 0;  // 0xAARRGGBB; 0 means the host-given colour

  bool operator==(const ViewerPointer&) const = default;
};
Bytes Encode(const ViewerPointer& pointer);
bool Decode(ByteSpan payload, ViewerPointer& out);

enum class DrawingShape : std::uint8_t { kPoint = 0, kArrow, kPen, kBox, kCircle, kLine, kHeart, kNote };
inline constexpr std::size_t kDrawingHeaderSize = 24;
inline constexpr std::uint32_t kDrawingMaxPoints = 8192;
inline constexpr std::size_t kDrawingMaxTextUnits = 200;
inline constexpr std::uint32_t kDrawingKeepForever = 0xFFFFFFFFu;

struct DrawingPoint {
  float x = 0;
  float y = 0;
  bool operator==(const DrawingPoint&) const = default;
};
struct DrawingRecord {
  std::uint32_t id = 0;
  std::uint8_t shape = 0;  // DrawingShape
  std::uint8_t style = 0;  // 0..2
  std::uint32_t colour = 0;
  float width = 1;
  std::uint32_t lifetimeMs = 0;  // 0: the host's lifetime; kDrawingKeepForever: until removed
  std::vector<DrawingPoint> points;
  std::u16string text;  // UTF-16 units

  bool operator==(const DrawingRecord&) const = default;
};
// Writes at most 8192 points and 200 text units (a longer record would be discarded or cut).
Bytes Encode(const DrawingRecord& drawing);
// Discards a record under 24 bytes, with more than 8192 points or shorter than its points. The
// text (cut to 200 units) is read only when it fits; every unit below 32 or equal to 127 becomes a
// space. A style above 2 reads as 0, the width is clamped to 1..40, and a point coordinate that is
// not a finite number reads as 0.
bool Decode(ByteSpan payload, DrawingRecord& out);

// Drawings edit: 1 removes the sender's newest drawing, any other value clears all.
inline constexpr std::uint32_t kDrawingsRemoveNewest = 1;
inline constexpr std::uint32_t kDrawingsClearAll = 2;
struct DrawingsEdit {
  std::uint32_t action = 0;

  bool operator==(const DrawingsEdit&) const = default;
};
Bytes Encode(const DrawingsEdit& edit);
bool Decode(ByteSpan payload, DrawingsEdit& out);

struct PointPing {
  float x = 0;
  float y = 0;
  std::uint32_t colour = 0;
  std::uint8_t style = 0;

  bool operator==(const PointPing&) const = default;
};
Bytes Encode(const PointPing& ping);
// A coordinate that is not a finite number reads as 0.
bool Decode(ByteSpan payload, PointPing& out);

struct PictureRequest {
  std::uint8_t quality = 0;    // 0 keeps the host's value
  std::uint8_t frameRate = 0;  // 0 keeps the host's value
  std::uint16_t maxWidth = 0;  // 0 means no limit

  bool operator==(const PictureRequest&) const = default;
};
Bytes Encode(const PictureRequest& request);
bool Decode(ByteSpan payload, PictureRequest& out);

struct ChooseMonitor {
  std::uint32_t index = 0;

  bool operator==(const ChooseMonitor&) const = default;
};
Bytes Encode(const ChooseMonitor& choice);
bool Decode(ByteSpan payload, ChooseMonitor& out);

struct OverlayPreferences {
  bool showPointer = true;
  bool showDrawings = true;

  bool operator==(const OverlayPreferences&) const = default;
};
Bytes Encode(const OverlayPreferences& preferences);
bool Decode(ByteSpan payload, OverlayPreferences& out);

// What a control mouse message asks for; also the injector's actions.
enum ControlMouseKind : std::uint8_t {
  kMouseActionMove = 0,
  kMouseActionDown = 1,
  kMouseActionUp = 2,
  kMouseActionWheel = 3,
  kMouseActionHWheel = 4,
};
inline constexpr std::uint8_t kControlMaxButton = 4;
inline constexpr std::size_t kControlMouseSize = 12;
struct ControlMouse {
  float x = 0;
  float y = 0;
  std::uint8_t kind = kMouseActionMove;
  std::uint8_t button = 0;
  std::int16_t wheelDelta = 0;

  bool operator==(const ControlMouse&) const = default;
};
Bytes Encode(const ControlMouse& mouse);
// False for a button index above 4; positions clamped to 0..1.
bool Decode(ByteSpan payload, ControlMouse& out);

struct ControlKey {
  std::uint16_t virtualKey = 0;
  std::uint16_t scanCode = 0;
  bool down = false;
  bool extended = false;
  char16_t character = 0;  // typed instead of pressing the key when non-zero

  bool operator==(const ControlKey&) const = default;
};
Bytes Encode(const ControlKey& key);
// False when the key code and the scan code are both 0.
bool Decode(ByteSpan payload, ControlKey& out);

inline constexpr std::uint32_t kControlTextMaxUnits = 4096;
struct ControlText {
  std::u16string text;  // 1 to 4096 UTF-16 units

  bool operator==(const ControlText&) const = default;
};
// Empty when the text cannot be sent (empty or above 4096 units): send nothing then.
Bytes Encode(const ControlText& text);
bool Decode(ByteSpan payload, ControlText& out);

struct SoundRequest {
  bool on = false;

  bool operator==(const SoundRequest&) const = default;
};
Bytes Encode(const SoundRequest& request);
bool Decode(ByteSpan payload, SoundRequest& out);

struct SoundFormat {
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  std::uint16_t bitsPerSample = 16;
  // Rate non-zero, 1 to 8 channels, 16 bits.
  bool IsValid() const { return sampleRate != 0 && channels >= 1 && channels <= 8 && bitsPerSample == 16; }

  bool operator==(const SoundFormat&) const = default;
};
Bytes Encode(const SoundFormat& format);
// False when too short or not valid.
bool Decode(ByteSpan payload, SoundFormat& out);

// Sound data: an 8-byte packet header, then frames x channels interleaved signed 16-bit samples.
// The sender writes the header and the sample buffers without joining them (Connection's
// SendFrameParts).
inline constexpr std::size_t kSoundDataHeaderSize = 8;
struct SoundDataHeader {
  std::uint32_t sequence = 0;
  std::uint32_t frames = 0;

  bool operator==(const SoundDataHeader&) const = default;
};
Bytes Encode(const SoundDataHeader& header);
struct SoundData {
  std::uint32_t sequence = 0;
  std::uint32_t frames = 0;
  ByteSpan samples;  // frames x channels x 2 bytes, little-endian, pointing into the payload
};
// Needs the channel count of the last sound format: false for zero frames, or when the payload
// holds fewer than frames x channels samples. Bytes beyond them are ignored.
bool Decode(ByteSpan payload, std::uint16_t channels, SoundData& out);

struct HostCursor {
  float x = 0;
  float y = 0;
  bool onSharedMonitor = false;

  bool operator==(const HostCursor&) const = default;
};
Bytes Encode(const HostCursor& cursor);
// Positions clamped to 0..1.
bool Decode(ByteSpan payload, HostCursor& out);

inline constexpr std::size_t kPointerBusySize = 40;
inline constexpr std::size_t kPointerBusyNameSize = 32;
enum PointerHolder : std::uint8_t { kHeldByHostUser = 0, kHeldByViewer = 1 };
struct PointerBusyNotice {
  std::uint32_t busyMs = 0;
  std::uint8_t holder = kHeldByHostUser;
  std::string holderName;  // UTF-8, empty when the person at the host holds the mouse

  bool operator==(const PointerBusyNotice&) const = default;
};
Bytes Encode(const PointerBusyNotice& notice);
bool Decode(ByteSpan payload, PointerBusyNotice& out);

}  // namespace tvx

// Message type numbers of the viewer channels and of the relay connections, and the constants
// both ends share. The same number can mean different things on different kinds of connection
// (0x30 is clipboard text on a viewer channel and registration on a relay control connection).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tvx {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

inline constexpr std::uint32_t kProtocolVersion = 7;
inline constexpr std::uint32_t kRelayProtocolVersion = 1;

namespace msg {

// Viewer to host, pointer channel (HELLO opens both channels).
inline constexpr std::uint16_t kHello = 0x01;
inline constexpr std::uint16_t kHeartbeat = 0x02;
inline constexpr std::uint16_t kViewerGoodbye = 0x03;
inline constexpr std::uint16_t kViewerPointer = 0x10;
inline constexpr std::uint16_t kDrawingFinished = 0x11;
inline constexpr std::uint16_t kDrawingInProgress = 0x12;
inline constexpr std::uint16_t kDrawingsEdit = 0x13;
inline constexpr std::uint16_t kPointPing = 0x14;
inline constexpr std::uint16_t kPictureRequest = 0x15;
inline constexpr std::uint16_t kFullPictureRequest = 0x16;
inline constexpr std::uint16_t kChooseMonitor = 0x17;
inline constexpr std::uint16_t kOverlayPreferences = 0x18;
inline constexpr std::uint16_t kControlRequest = 0x19;
inline constexpr std::uint16_t kControlMouse = 0x20;
inline constexpr std::uint16_t kControlKey = 0x21;
inline constexpr std::uint16_t kControlText = 0x22;
inline constexpr std::uint16_t kControlRelease = 0x23;
inline constexpr std::uint16_t kSoundRequest = 0x42;

// Both directions on the viewer channels.
inline constexpr std::uint16_t kClipboardText = 0x30;

// Relay connections.
inline constexpr std::uint16_t kRelayRegistration = 0x30;
inline constexpr std::uint16_t kRelayRegistered = 0x31;
inline constexpr std::uint16_t kRelayTicket = 0x32;
inline constexpr std::uint16_t kRelayTicketClaim = 0x33;
inline constexpr std::uint16_t kRelayRefusal = 0x34;
inline constexpr std::uint16_t kRelayStatus = 0x35;

// Host to viewer.
inline constexpr std::uint16_t kSoundFormat = 0x40;
inline constexpr std::uint16_t kSoundData = 0x41;
inline constexpr std::uint16_t kScreenDescription = 0x80;
inline constexpr std::uint16_t kRefusal = 0x81;
inline constexpr std::uint16_t kTileFrame = 0x82;
inline constexpr std::uint16_t kScreenDescriptionAlternate = 0x83;
inline constexpr std::uint16_t kHeartbeatEcho = 0x84;
inline constexpr std::uint16_t kHostCursor = 0x85;
inline constexpr std::uint16_t kMonitorList = 0x86;
inline constexpr std::uint16_t kPermissions = 0x87;
inline constexpr std::uint16_t kHostGoodbye = 0x88;
inline constexpr std::uint16_t kPointerBusy = 0x89;

// Frame flags of a tile frame that carries every tile of the grid.
inline constexpr std::uint16_t kTileFrameComplete = 1;

}  // namespace msg

// The permissions byte of the screen description and of message 0x87.
inline constexpr std::uint8_t kPermitControl = 0x01;
inline constexpr std::uint8_t kPermitClipboard = 0x02;
inline constexpr std::uint8_t kPermitSound = 0x04;

}  // namespace tvx

// What ScreenCapture needs from a source of desktop images: the steps of desktop duplication,
// each reporting the platform's result code, so that the mapping of codes to capture results and
// texts lives in one portable place. GDI copies and synthetic pictures stand behind the same
// interface with the same codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/monitor_info.h"

namespace tvx {

// Result codes (HRESULT values) the sources report.
namespace capture_code {
inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kNotImplemented = 0x80004001;       // E_NOTIMPL
inline constexpr std::uint32_t kAccessDenied = 0x80070005;         // E_ACCESSDENIED
inline constexpr std::uint32_t kOutOfMemory = 0x8007000E;          // E_OUTOFMEMORY
inline constexpr std::uint32_t kFail = 0x80004005;                 // E_FAIL
inline constexpr std::uint32_t kInvalidCall = 0x887A0001;          // DXGI_ERROR_INVALID_CALL
inline constexpr std::uint32_t kNotFound = 0x887A0002;             // DXGI_ERROR_NOT_FOUND
inline constexpr std::uint32_t kUnsupported = 0x887A0004;          // DXGI_ERROR_UNSUPPORTED
inline constexpr std::uint32_t kDeviceRemoved = 0x887A0005;        // DXGI_ERROR_DEVICE_REMOVED
inline constexpr std::uint32_t kDeviceReset = 0x887A0007;          // DXGI_ERROR_DEVICE_RESET
inline constexpr std::uint32_t kNotCurrentlyAvailable = 0x887A0022;// DXGI_ERROR_NOT_CURRENTLY_AVAILABLE
inline constexpr std::uint32_t kAccessLost = 0x887A0026;           // DXGI_ERROR_ACCESS_LOST
inline constexpr std::uint32_t kWaitTimeout = 0x887A0027;          // DXGI_ERROR_WAIT_TIMEOUT
}  // namespace capture_code

// The duplicated image's mode.
struct CaptureMode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t rotation = 0;  // quarter turns clockwise
  Rect desktopRect;
};

// A region that moved: its pixels now at `destination` came from (sourceX, sourceY).
struct MoveRect {
  std::int32_t sourceX = 0;
  std::int32_t sourceY = 0;
  Rect destination;
};

struct FrameInfo {
  bool newImage = false;           // false: pointer-only frame (last-present time 0)
  std::uint32_t metadataSize = 0;  // 0: the frame lists no rectangles, so everything may have changed
};

class CaptureSource {
 public:
  virtual ~CaptureSource() = default;

  // How the capture names this source in its log ("desktop duplication", "GDI", ...).
  virtual const wchar_t* Name() const = 0;
  // The monitors attached to the desktop, in enumeration order.
  virtual std::vector<MonitorInfo> Monitors() = 0;

  // Prepares the device for one monitor; fills `error` with the program's text on failure.
  virtual bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) = 0;
  // Starts duplicating the opened monitor (an old duplication is released first) and reads its mode.
  virtual std::uint32_t Duplicate(CaptureMode& mode) = 0;
  // Makes the CPU-readable copy target of the given size.
  virtual std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) = 0;
  virtual void ReleaseDuplication() = 0;

  // Waits up to timeoutMs for the next desktop frame; on success the frame is held.
  virtual std::uint32_t AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) = 0;
  // Rectangles of the held frame; false when they cannot be fetched.
  virtual bool MoveRects(std::vector<MoveRect>& out) = 0;
  virtual bool DirtyRects(std::vector<Rect>& out) = 0;
  // Copies the held frame's image into the staging copy; false leaves the old image there.
  virtual bool CopyFrameToStaging() = 0;
  virtual void ReleaseFrame() = 0;

  // True when the display configuration changed since the device was opened.
  virtual bool DisplayConfigurationStale() = 0;

  virtual std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) = 0;
  virtual void UnmapStaging() = 0;

  // Releases everything, in reverse order of creation.
  virtual void Close() = 0;
};

}  // namespace tvx

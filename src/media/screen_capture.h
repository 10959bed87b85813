// Copies one monitor into a framebuffer in main memory and tells, after each frame, which of its
// tiles really changed. Used by the host's streaming thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/capture_source.h"
#include "media/monitor_info.h"
#include "media/tile_grid.h"
#include "media/tile_set.h"

namespace tvx {

enum class CaptureResult : std::uint32_t {
  Changed = 0,     // the framebuffer is current and changed() holds at least one tile
  Idle = 1,        // nothing to send
  Reopened = 2,    // the duplication was rebuilt or the monitor reopened; size and grid may differ
  Deferred = 3,    // a transient failure; try again later
  DeviceLost = 4,  // nothing is open, or the device went away; close and open again
};

// The monitors attached to the desktop (desktop duplication's enumeration on Windows; empty where
// the platform has no desktop to duplicate).
std::vector<MonitorInfo> EnumerateMonitors();

using CaptureSourceFactory = std::function<std::unique_ptr<CaptureSource>()>;

class ScreenCapture {
 public:
  // `fallback` makes the source used instead when `source` cannot duplicate at all (the platform
  // reports it as not implemented or unsupported); it is tried once.
  explicit ScreenCapture(std::unique_ptr<CaptureSource> source, CaptureSourceFactory fallback = {});
  ~ScreenCapture();
  ScreenCapture(const ScreenCapture&) = delete;
  ScreenCapture& operator=(const ScreenCapture&) = delete;

  // Opens the monitor with this index, or the first one when no monitor has it.
  bool Open(std::uint32_t monitorIndex, std::wstring& error);
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error);
  // Also used alone to rebuild a lost duplication.
  bool StartDuplication(std::wstring& error);
  CaptureResult AcquireFrame(std::uint32_t timeoutMs);
  // The next frame that finds a valid framebuffer reports every tile changed.
  void RequestFullRefresh() { fullRefreshPending_ = true; }
  void Close();

  bool IsOpen() const { return duplicating_ && stagingReady_; }
  const wchar_t* SourceName() const { return source_ ? source_->Name() : L""; }

  const std::uint8_t* framebuffer() const { return grid_.framebuffer(); }
  std::uint32_t stride() const { return grid_.stride(); }
  std::uint32_t width() const { return grid_.width(); }
  std::uint32_t height() const { return grid_.height(); }
  std::uint32_t tileSize() const { return grid_.tileSize(); }
  std::uint32_t tilesX() const { return grid_.tilesX(); }
  std::uint32_t tilesY() const { return grid_.tilesY(); }
  std::uint32_t rotation() const { return rotation_; }
  const Rect& desktopRect() const { return desktopRect_; }
  std::uint32_t monitorIndex() const { return monitorIndex_; }
  // Meaningful only right after AcquireFrame returned Changed.
  const TileSet& changed() const { return grid_.changed(); }
  const TileGrid& grid() const { return grid_; }

 private:
  bool OpenWithCurrentSource(std::uint32_t monitorIndex, std::wstring& error);
  void ReleaseHeldFrame();

  std::unique_ptr<CaptureSource> source_;
  CaptureSourceFactory fallback_;
  std::wstring loggedSource_;  // the source named in the log last

  TileGrid grid_;
  std::vector<MoveRect> moves_;  // scratch, reused every frame
  std::vector<Rect> dirty_;
  std::uint32_t rotation_ = 0;
  Rect desktopRect_;
  std::uint32_t monitorIndex_ = 0;
  std::uint32_t adapterIndex_ = 0;
  std::uint32_t outputIndex_ = 0;
  std::uint32_t lastDuplicateCode_ = 0;
  bool duplicating_ = false;
  bool stagingReady_ = false;
  bool frameHeld_ = false;
  bool fullRefreshPending_ = false;
  bool stagingValid_ = false;
  bool framebufferValid_ = false;
};

}  // namespace tvx

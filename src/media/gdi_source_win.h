// Copies a monitor with BitBlt into a 32-bit DIB, where desktop duplication is unavailable
// (remote-desktop sessions, basic display drivers, emulated Windows). It reports no rectangles:
// every frame counts as wholly new and hashing finds the tiles that changed.
#pragma once

#include <windows.h>

#include <cstdint>

#include "media/capture_source.h"

namespace tvx {

class GdiSource final : public CaptureSource {
 public:
  GdiSource() = default;
  ~GdiSource() override { Close(); }
  GdiSource(const GdiSource&) = delete;
  GdiSource& operator=(const GdiSource&) = delete;

  const wchar_t* Name() const override { return L"GDI"; }
  std::vector<MonitorInfo> Monitors() override;
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) override;
  std::uint32_t Duplicate(CaptureMode& mode) override;
  std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) override;
  void ReleaseDuplication() override { duplicating_ = false; }
  std::uint32_t AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) override;
  bool MoveRects(std::vector<MoveRect>& out) override;
  bool DirtyRects(std::vector<Rect>& out) override;
  bool CopyFrameToStaging() override { return bits_ != nullptr; }
  void ReleaseFrame() override {}
  bool DisplayConfigurationStale() override { return stale_; }
  std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) override;
  void UnmapStaging() override {}
  void Close() override;

 private:
  void ReleaseBitmap();
  bool MonitorStillThere() const;

  MonitorInfo monitor_;
  HDC screen_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint8_t* bits_ = nullptr;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  ULONGLONG lastCopy_ = 0;
  bool duplicating_ = false;
  bool stale_ = false;
};

}  // namespace tvx

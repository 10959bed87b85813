// A capture source whose every answer a test sets: the frames it delivers, the codes it fails
// with and the picture on its "screen".
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "media/capture_source.h"

namespace tvx::testing {

class FakeCaptureSource : public CaptureSource {
 public:
  struct Frame {
    std::uint32_t code = capture_code::kOk;
    bool newImage = true;
    bool reportsMetadata = true;  // false: metadata size 0 (everything may have changed)
    std::vector<MoveRect> moves;
    std::vector<Rect> dirty;
    bool moveFetchFails = false;
    bool dirtyFetchFails = false;
    bool textureFails = false;
    std::function<void(FakeCaptureSource&)> before;  // runs when the frame is acquired
  };

  FakeCaptureSource(std::uint32_t width, std::uint32_t height) { SetSize(width, height); }

  void SetSize(std::uint32_t width, std::uint32_t height) {
    width_ = width;
    height_ = height;
    screen.assign(static_cast<std::size_t>(width) * height * 4, 0);
    MonitorInfo m;
    m.desktopRect = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    m.main = true;
    m.deviceName = L"FAKE1";
    monitors = {m};
  }

  // Paints a rectangle of the screen (B, G, R, A = value).
  void Paint(Rect r, std::uint8_t value) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      std::memset(screen.data() + (static_cast<std::size_t>(y) * width_ + r.left) * 4, value,
                  static_cast<std::size_t>(r.Width()) * 4);
    }
  }

  const wchar_t* Name() const override { return name.c_str(); }
  std::vector<MonitorInfo> Monitors() override { return monitors; }
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) override {
    opened = monitor;
    ++openCount;
    if (!openError.empty()) error = openError;
    return openError.empty();
  }
  std::uint32_t Duplicate(CaptureMode& mode) override {
    ++duplicateCount;
    if (duplicateCode != capture_code::kOk) return duplicateCode;
    mode.width = width_;
    mode.height = height_;
    mode.rotation = rotation;
    mode.desktopRect = opened.desktopRect;
    return capture_code::kOk;
  }
  std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) override {
    if (stagingCode == capture_code::kOk) staging.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return stagingCode;
  }
  void ReleaseDuplication() override { held = false; }
  std::uint32_t AcquireFrame(std::uint32_t, FrameInfo& info) override {
    if (frames.empty()) return capture_code::kWaitTimeout;
    current = std::move(frames.front());
    frames.pop_front();
    if (current.before) current.before(*this);
    if (current.code != capture_code::kOk) return current.code;
    held = true;
    info.newImage = current.newImage;
    info.metadataSize = current.reportsMetadata
                            ? static_cast<std::uint32_t>(current.moves.size() * 24 + current.dirty.size() * 16 + 1)
                            : 0;
    return capture_code::kOk;
  }
  bool MoveRects(std::vector<MoveRect>& out) override {
    out = current.moves;
    return !current.moveFetchFails;
  }
  bool DirtyRects(std::vector<Rect>& out) override {
    out = current.dirty;
    return !current.dirtyFetchFails;
  }
  bool CopyFrameToStaging() override {
    if (current.textureFails || staging.size() != screen.size()) return false;
    staging = screen;
    return true;
  }
  void ReleaseFrame() override { held = false; }
  bool DisplayConfigurationStale() override { return stale; }
  std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) override {
    if (mapCode != capture_code::kOk) return mapCode;
    data = staging.data();
    pitch = width_ * 4;
    return capture_code::kOk;
  }
  void UnmapStaging() override {}
  void Close() override { ++closeCount; }

  std::wstring name = L"fake duplication";
  std::vector<MonitorInfo> monitors;
  std::deque<Frame> frames;  // when empty, every wait times out
  std::vector<std::uint8_t> screen;
  std::vector<std::uint8_t> staging;
  std::wstring openError;
  std::uint32_t duplicateCode = capture_code::kOk;
  std::uint32_t stagingCode = capture_code::kOk;
  std::uint32_t mapCode = capture_code::kOk;
  std::uint32_t rotation = 0;
  bool stale = false;
  bool held = false;
  MonitorInfo opened;
  int openCount = 0;
  int duplicateCount = 0;
  int closeCount = 0;

 private:
  Frame current;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
};

}  // namespace tvx::testing

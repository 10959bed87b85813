// A capture source that passes another source's pictures on with the benchmark's frame marker
// drawn into each new one, and stamps the time of every marker it draws.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/capture_source.h"
#include "stream_marker.h"

namespace tvx::cli {

class MarkedSource final : public CaptureSource {
 public:
  MarkedSource(std::unique_ptr<CaptureSource> inner, std::shared_ptr<MarkerLog> log);

  const wchar_t* Name() const override { return inner_->Name(); }
  std::vector<MonitorInfo> Monitors() override { return inner_->Monitors(); }
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) override {
    return inner_->OpenDevice(monitor, error);
  }
  std::uint32_t Duplicate(CaptureMode& mode) override;
  std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) override {
    return inner_->CreateStaging(width, height);
  }
  void ReleaseDuplication() override { inner_->ReleaseDuplication(); }
  std::uint32_t AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) override;
  bool MoveRects(std::vector<MoveRect>& out) override;
  bool DirtyRects(std::vector<Rect>& out) override;
  bool CopyFrameToStaging() override;
  void ReleaseFrame() override { inner_->ReleaseFrame(); }
  bool DisplayConfigurationStale() override { return inner_->DisplayConfigurationStale(); }
  std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) override;
  void UnmapStaging() override {}
  void Close() override;

  const MarkerPlace& place() const { return place_; }

 private:
  void CopyRect(const std::uint8_t* from, std::uint32_t pitch, Rect r);

  std::unique_ptr<CaptureSource> inner_;
  std::shared_ptr<MarkerLog> log_;
  // The picture as the capture sees it: the inner source's with the marker on top. Kept in step
  // by copying only what the inner source reports changed, as the marker must not cost a whole
  // frame copy on the host.
  std::vector<std::uint8_t> image_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  MarkerPlace place_;
  std::vector<MoveRect> moves_;
  std::vector<Rect> dirty_;
  bool wholeFrame_ = false;  // the held frame lists no rectangles, or the copy is not yet in step
  bool inStep_ = false;
  bool marked_ = false;      // the held frame gets a marker
  std::uint32_t sequence_ = 0;
};

}  // namespace tvx::cli

// A deterministic, desktop-like picture that stands in for a real monitor: the headless host, the
// tests and the benchmarks capture it through the same ScreenCapture as a real screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/capture_source.h"

namespace tvx {

enum class SyntheticWorkload : std::uint32_t {
  Static,  // nothing changes after the first frame
  Typing,  // one glyph appears in an editor each frame
  Scroll,  // a text region scrolls up one line each frame (a move rectangle)
  Video,   // one large region of full-motion content
};

// "static", "typing", "scroll", "video".
const char* SyntheticWorkloadName(SyntheticWorkload workload);
bool ParseSyntheticWorkload(std::string_view name, SyntheticWorkload& workload);
inline constexpr SyntheticWorkload kAllSyntheticWorkloads[] = {SyntheticWorkload::Static, SyntheticWorkload::Typing,
                                                               SyntheticWorkload::Scroll, SyntheticWorkload::Video};

struct SyntheticOptions {
  std::uint32_t width = 1920;
  std::uint32_t height = 1080;
  SyntheticWorkload workload = SyntheticWorkload::Static;
  std::uint32_t rotation = 0;  // quarter turns, reported as a rotated monitor would be
  bool waitWhenIdle = false;   // sleep the time-out when nothing changes, as a real screen would
};

class SyntheticSource final : public CaptureSource {
 public:
  static constexpr std::uint32_t kMaxEdge = 16384;

  explicit SyntheticSource(const SyntheticOptions& options);

  const wchar_t* Name() const override { return L"a synthetic desktop"; }
  std::vector<MonitorInfo> Monitors() override;
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) override;
  std::uint32_t Duplicate(CaptureMode& mode) override;
  std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) override;
  void ReleaseDuplication() override { duplicating_ = false; }
  std::uint32_t AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) override;
  bool MoveRects(std::vector<MoveRect>& out) override;
  bool DirtyRects(std::vector<Rect>& out) override;
  bool CopyFrameToStaging() override { return !image_.empty(); }
  void ReleaseFrame() override {}
  bool DisplayConfigurationStale() override { return false; }
  std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) override;
  void UnmapStaging() override {}
  void Close() override;

  // The current picture (B, G, R, A rows of width * 4 bytes), for tests and tools.
  const std::vector<std::uint8_t>& image() const { return image_; }

 private:
  void PaintDesktop();
  void TypeOneGlyph();
  void ScrollOneLine();
  void PaintVideoFrame();

  SyntheticOptions options_;
  std::vector<std::uint8_t> image_;
  std::vector<MoveRect> moves_;
  std::vector<Rect> dirty_;
  bool duplicating_ = false;
  std::uint64_t frame_ = 0;  // frames since Duplicate
  std::uint64_t random_ = 0;
  Rect editor_;     // body of the window the typing goes into
  Rect scroller_;   // body of the window that scrolls
  Rect video_;      // body of the window that plays
  std::int32_t caretX_ = 0;
  std::int32_t caretY_ = 0;
};

}  // namespace tvx

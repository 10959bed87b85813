#include "media/screen_capture.h"

#include <utility>

#include "foundation/error_text.h"
#include "foundation/log.h"

namespace tvx {

namespace {

bool MeansNoDuplication(std::uint32_t code) {
  return code == capture_code::kNotImplemented || code == capture_code::kUnsupported;
}

std::wstring DuplicateErrorText(std::uint32_t code) {
  switch (code) {
    case capture_code::kNotCurrentlyAvailable:
      return L"Windows allows only four screen-capture apps at once. Close one and retry.";
    case capture_code::kAccessDenied:
      return L"Blocked while the secure desktop is up (UAC prompt or lock screen).";
    default:
      return L"DuplicateOutput failed: " + ErrorText(code);
  }
}

}  // namespace

ScreenCapture::ScreenCapture(std::unique_ptr<CaptureSource> source, CaptureSourceFactory fallback)
    : source_(std::move(source)), fallback_(std::move(fallback)) {}

ScreenCapture::~ScreenCapture() { Close(); }

bool ScreenCapture::Open(std::uint32_t monitorIndex, std::wstring& error) {
  if (OpenWithCurrentSource(monitorIndex, error)) return true;
  if (!MeansNoDuplication(lastDuplicateCode_) || !fallback_) return false;
  // This machine cannot duplicate at all (remote session, basic display driver, emulation):
  // switch for good to the fallback source.
  std::unique_ptr<CaptureSource> replacement = fallback_();
  fallback_ = nullptr;
  if (!replacement) return false;
  Log(kLogWarning, L"Desktop duplication unavailable (%s) - falling back to %s", error, replacement->Name());
  source_ = std::move(replacement);
  error.clear();
  return OpenWithCurrentSource(monitorIndex, error);
}

bool ScreenCapture::OpenWithCurrentSource(std::uint32_t monitorIndex, std::wstring& error) {
  Close();
  lastDuplicateCode_ = 0;
  if (!source_) {
    error = L"No attached monitors found.";
    return false;
  }
  const std::vector<MonitorInfo> monitors = source_->Monitors();
  if (monitors.empty()) {
    error = L"No attached monitors found.";
    return false;
  }
  const MonitorInfo* chosen = &monitors.front();
  for (const MonitorInfo& m : monitors) {
    if (m.index == monitorIndex) {
      chosen = &m;
      break;
    }
  }
  monitorIndex_ = chosen->index;
  adapterIndex_ = chosen->adapterIndex;
  outputIndex_ = chosen->outputIndex;
  desktopRect_ = chosen->desktopRect;
  if (!OpenDevice(*chosen, error) || !StartDuplication(error)) {
    Close();
    return false;
  }
  if (loggedSource_ != source_->Name()) {
    loggedSource_ = source_->Name();
    Log(kLogInfo, L"Screen capture through %s", loggedSource_);
  }
  return true;
}

bool ScreenCapture::OpenDevice(const MonitorInfo& monitor, std::wstring& error) {
  if (!source_) return false;
  return source_->OpenDevice(monitor, error);
}

void ScreenCapture::ReleaseHeldFrame() {
  if (frameHeld_) {
    source_->ReleaseFrame();
    frameHeld_ = false;
  }
}

bool ScreenCapture::StartDuplication(std::wstring& error) {
  if (!source_) return false;
  ReleaseHeldFrame();
  source_->ReleaseDuplication();
  duplicating_ = false;
  stagingReady_ = false;

  CaptureMode mode;
  const std::uint32_t code = source_->Duplicate(mode);
  lastDuplicateCode_ = code;
  if (code != capture_code::kOk) {
    error = DuplicateErrorText(code);
    return false;
  }
  duplicating_ = true;
  rotation_ = mode.rotation;
  desktopRect_ = mode.desktopRect;

  grid_.Reset(mode.width, mode.height);
  fullRefreshPending_ = true;
  framebufferValid_ = false;

  stagingValid_ = false;
  const std::uint32_t stagingCode = source_->CreateStaging(mode.width, mode.height);
  if (stagingCode != capture_code::kOk) {
    error = L"Staging texture creation failed: " + ErrorText(stagingCode);
    source_->ReleaseDuplication();
    duplicating_ = false;
    grid_.Clear();
    return false;
  }
  stagingReady_ = true;
  Log(kLogInfo, L"Duplicating %ux%u (rot %u), %ux%u tiles of %u px", grid_.width(), grid_.height(), rotation_,
      grid_.tilesX(), grid_.tilesY(), grid_.tileSize());
  return true;
}

CaptureResult ScreenCapture::AcquireFrame(std::uint32_t timeoutMs) {
  if (!source_ || !duplicating_ || !stagingReady_) return CaptureResult::DeviceLost;
  ReleaseHeldFrame();

  FrameInfo info;
  const std::uint32_t code = source_->AcquireFrame(timeoutMs, info);
  switch (code) {
    case capture_code::kOk:
      break;
    case capture_code::kWaitTimeout:
      if (fullRefreshPending_ && framebufferValid_) {
        grid_.MarkAllChangedAndForgetHashes();
        fullRefreshPending_ = false;
        grid_.HashChangedTiles();
        return CaptureResult::Changed;
      }
      return CaptureResult::Idle;
    case capture_code::kAccessLost:
    case capture_code::kInvalidCall: {
      std::wstring error;
      if (source_->DisplayConfigurationStale()) {
        if (Open(monitorIndex_, error)) {
          Log(kLogInfo, L"Displays changed - capture reopened at %ux%u", grid_.width(), grid_.height());
          return CaptureResult::Reopened;
        }
        Log(kLogWarning, L"Reopen after a display change deferred: %s", error);
        return CaptureResult::Deferred;
      }
      if (StartDuplication(error)) {
        Log(kLogInfo, L"Duplication rebuilt after ACCESS_LOST");
        return CaptureResult::Reopened;
      }
      Log(kLogWarning, L"Duplication rebuild deferred: %s", error);
      return CaptureResult::Deferred;
    }
    case capture_code::kDeviceRemoved:
    case capture_code::kDeviceReset:
      Log(kLogError, L"Graphics device lost - full reopen needed");
      return CaptureResult::DeviceLost;
    default:
      Log(kLogWarning, L"AcquireNextFrame: %s", ErrorText(code));
      return CaptureResult::Deferred;
  }

  frameHeld_ = true;
  grid_.ClearChanged();
  if (info.newImage) {
    if (info.metadataSize == 0) {
      grid_.MarkAllChanged();
    } else {
      // A failed fetch counts as an empty list: the rolling refresh heals what it missed.
      if (!source_->MoveRects(moves_)) moves_.clear();
      if (!source_->DirtyRects(dirty_)) dirty_.clear();
      for (const MoveRect& m : moves_) {
        const Rect& d = m.destination;
        grid_.MarkRectChanged(d.left, d.top, d.right, d.bottom);
        grid_.MarkRectChanged(m.sourceX, m.sourceY, static_cast<std::int64_t>(m.sourceX) + d.Width(),
                              static_cast<std::int64_t>(m.sourceY) + d.Height());
      }
      for (const Rect& d : dirty_) grid_.MarkRectChanged(d.left, d.top, d.right, d.bottom);
    }
    if (source_->CopyFrameToStaging()) stagingValid_ = true;
  }
  ReleaseHeldFrame();
  if (!stagingValid_) {
    grid_.ClearChanged();
    return CaptureResult::Idle;
  }

  if (fullRefreshPending_) {
    grid_.MarkAllChangedAndForgetHashes();
    fullRefreshPending_ = false;
  } else if (info.newImage) {
    grid_.RollingRefresh();
  }
  if (grid_.changed().none()) return CaptureResult::Idle;

  const std::uint8_t* image = nullptr;
  std::uint32_t pitch = 0;
  const std::uint32_t mapCode = source_->MapStaging(image, pitch);
  if (mapCode != capture_code::kOk || image == nullptr || pitch < grid_.stride()) {
    // A mapping too narrow for the image would make the copy read past it.
    if (mapCode == capture_code::kOk) source_->UnmapStaging();
    Log(kLogWarning, L"Map staging failed: %s", ErrorText(mapCode != capture_code::kOk ? mapCode : capture_code::kFail));
    grid_.ClearChanged();
    return CaptureResult::Deferred;
  }
  grid_.CopyChangedBands(image, pitch);
  source_->UnmapStaging();
  framebufferValid_ = true;

  grid_.HashChangedTiles();
  return grid_.changed().any() ? CaptureResult::Changed : CaptureResult::Idle;
}

void ScreenCapture::Close() {
  if (source_) {
    ReleaseHeldFrame();
    source_->Close();
  }
  frameHeld_ = false;
  duplicating_ = false;
  stagingReady_ = false;
  stagingValid_ = false;
  framebufferValid_ = false;
  grid_.Clear();
}

}  // namespace tvx

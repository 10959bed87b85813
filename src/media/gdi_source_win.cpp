#include "media/gdi_source_win.h"

#include "foundation/error_text.h"
#include "media/screen_capture.h"

namespace tvx {

namespace {

std::uint32_t LastErrorCode() {
  const DWORD e = GetLastError();
  return e == 0 ? capture_code::kFail : HresultFromError(static_cast<std::int32_t>(e));
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<std::vector<MonitorInfo>*>(data);
  MONITORINFOEXW info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  MonitorInfo m;
  m.index = static_cast<std::uint32_t>(list->size());
  m.outputIndex = m.index;
  m.desktopRect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
  m.main = m.desktopRect.left == 0 && m.desktopRect.top == 0;
  info.szDevice[31] = L'\0';
  m.deviceName = info.szDevice;
  list->push_back(std::move(m));
  return TRUE;
}

}  // namespace

std::vector<MonitorInfo> GdiSource::Monitors() {
  std::vector<MonitorInfo> monitors = EnumerateMonitors();
  if (monitors.empty()) EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

bool GdiSource::OpenDevice(const MonitorInfo& monitor, std::wstring& error) {
  Close();
  monitor_ = monitor;
  stale_ = false;
  screen_ = GetDC(nullptr);
  if (!screen_) {
    error = L"GetDC failed: " + ErrorText(LastErrorCode());
    return false;
  }
  return true;
}

std::uint32_t GdiSource::Duplicate(CaptureMode& mode) {
  if (!screen_ || monitor_.desktopRect.Empty()) return capture_code::kInvalidCall;
  duplicating_ = true;
  mode.width = static_cast<std::uint32_t>(monitor_.desktopRect.Width());
  mode.height = static_cast<std::uint32_t>(monitor_.desktopRect.Height());
  mode.rotation = monitor_.rotation;
  mode.desktopRect = monitor_.desktopRect;
  return capture_code::kOk;
}

std::uint32_t GdiSource::CreateStaging(std::uint32_t width, std::uint32_t height) {
  ReleaseBitmap();
  if (!screen_ || width == 0 || height == 0) return capture_code::kInvalidCall;
  memory_ = CreateCompatibleDC(screen_);
  if (!memory_) return LastErrorCode();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows, like the framebuffer
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_ || !bits) {
    const std::uint32_t code = LastErrorCode();
    ReleaseBitmap();
    return code;
  }
  previous_ = SelectObject(memory_, bitmap_);
  bits_ = static_cast<std::uint8_t*>(bits);
  width_ = width;
  height_ = height;
  return capture_code::kOk;
}

bool GdiSource::MonitorStillThere() const {
  const RECT r{monitor_.desktopRect.left, monitor_.desktopRect.top, monitor_.desktopRect.right,
               monitor_.desktopRect.bottom};
  HMONITOR monitor = MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return false;
  return info.rcMonitor.left == monitor_.desktopRect.left && info.rcMonitor.top == monitor_.desktopRect.top &&
         info.rcMonitor.right == monitor_.desktopRect.right && info.rcMonitor.bottom == monitor_.desktopRect.bottom;
}

std::uint32_t GdiSource::AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) {
  info = FrameInfo{};
  if (!duplicating_ || !bits_) return capture_code::kInvalidCall;
  // GDI cannot wait for a change: copy at most once per time-out so an idle screen costs no
  // more than the caller's frame rate.
  const ULONGLONG now = GetTickCount64();
  if (lastCopy_ != 0 && now < lastCopy_ + timeoutMs) Sleep(static_cast<DWORD>(lastCopy_ + timeoutMs - now));
  lastCopy_ = GetTickCount64();
  if (!MonitorStillThere()) {
    stale_ = true;  // resolution or layout changed: the capture reopens
    return capture_code::kAccessLost;
  }
  if (!BitBlt(memory_, 0, 0, static_cast<int>(width_), static_cast<int>(height_), screen_, monitor_.desktopRect.left,
              monitor_.desktopRect.top, SRCCOPY | CAPTUREBLT)) {
    return LastErrorCode();
  }
  GdiFlush();
  info.newImage = true;
  info.metadataSize = 0;
  return capture_code::kOk;
}

bool GdiSource::MoveRects(std::vector<MoveRect>& out) {
  out.clear();
  return false;
}

bool GdiSource::DirtyRects(std::vector<Rect>& out) {
  out.clear();
  return false;
}

std::uint32_t GdiSource::MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) {
  if (!bits_) return capture_code::kInvalidCall;
  data = bits_;
  pitch = width_ * 4;
  return capture_code::kOk;
}

void GdiSource::ReleaseBitmap() {
  if (memory_ && previous_) SelectObject(memory_, previous_);
  previous_ = nullptr;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  bits_ = nullptr;
  if (memory_) DeleteDC(memory_);
  memory_ = nullptr;
  width_ = height_ = 0;
}

void GdiSource::Close() {
  duplicating_ = false;
  ReleaseBitmap();
  if (screen_) ReleaseDC(nullptr, screen_);
  screen_ = nullptr;
  lastCopy_ = 0;
}

}  // namespace tvx

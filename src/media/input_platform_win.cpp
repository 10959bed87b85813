#include <windows.h>

#include "media/input_platform.h"

namespace tvx {
namespace {

class User32InputPlatform final : public InputPlatform {
 public:
  std::uint16_t ScanCodeForKey(std::uint16_t vk) override {
    return static_cast<std::uint16_t>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  }

  bool CursorPosition(CursorPoint& position) override {
    POINT point = {};
    if (!GetCursorPos(&point)) return false;
    position = {static_cast<std::int32_t>(point.x), static_cast<std::int32_t>(point.y)};
    return true;
  }

  std::vector<Rect> MonitorRects() override {
    std::vector<Rect> rects;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&rects));
    return rects;
  }

  Rect SystemVirtualScreen() override {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  }

 private:
  static BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info)) {
      auto* rects = reinterpret_cast<std::vector<Rect>*>(context);
      rects->push_back({info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom});
    }
    return TRUE;
  }
};

}  // namespace

std::unique_ptr<InputPlatform> CreateSystemInputPlatform() { return std::make_unique<User32InputPlatform>(); }

}  // namespace tvx

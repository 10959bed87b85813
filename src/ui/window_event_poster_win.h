// Posts the host engine's events to the home window as message 0x8002: wParam the event number,
// lParam a heap copy of its text that the window frees after handling (0 for DrawingsChanged).
#pragma once

#include <windows.h>

#include <atomic>

#include "ui/server_event_sink.h"

namespace tvx {

inline constexpr UINT kServerEventMessage = WM_APP + 2;
inline constexpr UINT kViewerClosedMessage = WM_APP + 3;
inline constexpr UINT kRepaintMessage = WM_APP + 4;

class WindowEventPoster final : public EventPoster {
 public:
  void SetWindow(HWND window) { window_.store(window); }
  bool Post(ServerEvent event, std::unique_ptr<std::wstring>& text) override {
    HWND window = window_.load();
    if (window == nullptr) return false;
    if (!PostMessageW(window, kServerEventMessage, static_cast<WPARAM>(event),
                      reinterpret_cast<LPARAM>(text.get()))) {
      return false;
    }
    text.release();  // the window thread owns it now
    return true;
  }

 private:
  std::atomic<HWND> window_{nullptr};
};

}  // namespace tvx

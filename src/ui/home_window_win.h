// The home window on Windows: the AppWindow frame around the home window's behaviour and panels,
// with the tray icon, the clipboard listener, the overlay and the keep-awake request.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "foundation/settings_store.h"
#include "ui/app_window_win.h"
#include "ui/clipboard_access_win.h"
#include "ui/home_controller.h"
#include "ui/home_overlay_win.h"
#include "ui/home_shell.h"
#include "ui/home_view.h"
#include "ui/tray_icon_win.h"
#include "ui/window_event_poster_win.h"

namespace tvx {

inline constexpr wchar_t kHomeWindowClass[] = L"TavrixHomeWindow";

class HomeWindow final : public ui::AppWindow, private HomeShell {
 public:
  // Loads the two application icons and the settings (settings.json in the data folder).
  explicit HomeWindow(HINSTANCE instance);
  ~HomeWindow() override;

  // Creates the window and finishes the start-up; false with the reason in `error`.
  bool Start(HINSTANCE instance, std::wstring& error);
  void ResetWindowSize() override;

 private:
  // AppWindow.
  void Draw() override;
  bool Tick() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnClose() override;
  void OnDestroy() override;
  bool IsCaption(float x, float y) override;

  // HomeShell.
  void Repaint() override { Invalidate(); }
  void BringToFront() override;
  void Hide() override;
  void Flash() override;
  void Destroy() override;
  void SetKeepAwake(bool on) override;
  void SetTrayTip(const std::wstring& tip) override { tray_.SetTip(tip); }
  void RemoveTrayIcon() override { tray_.Remove(); }
  bool SetClipboardText(std::wstring_view text) override { return SetClipboardTextOnce(hwnd(), text); }
  void RemoveClipboardListener() override;
  void ApplyAccent(std::uint32_t accent) override;

  void AddTrayIcon();
  // The first client size (limited to the work area), centred on the window's monitor.
  void PlaceAtFirstSize();
  WindowPlacement CurrentPlacement() const;
  void OnTrayEvent(UINT event);

  HICON largeIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  SettingsStore store_;
  WindowsClipboard clipboard_;
  WindowEventPoster poster_;
  WindowsHomeOverlay overlay_;
  TrayIcon tray_;
  UINT taskbarCreated_ = 0;
  bool listening_ = false;
  std::unique_ptr<HomeController> home_;
  std::unique_ptr<HomeView> view_;
};

}  // namespace tvx

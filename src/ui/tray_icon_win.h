// The notification-area icon of the home window and its popup menu.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/tray_menu.h"

namespace tvx {

inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;

class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds icon 1 of `window` (again after the shell restarted) with the standard tip, then selects
  // the icon protocol version 4.
  bool Add(HWND window, HICON icon, const std::wstring& tip);
  void SetTip(const std::wstring& tip);
  void Remove();
  bool added() const { return added_; }

  // Shows the menu at the mouse position after bringing `window` to the foreground and returns the
  // chosen command (0 for none). Afterwards a null message goes to the window, so the menu closes
  // properly when the user clicks elsewhere.
  static std::uint32_t ShowMenu(HWND window, const std::vector<TrayMenuItem>& items);

 private:
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool added_ = false;
};

}  // namespace tvx

#include "ui/tray_icon_win.h"

#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <type_traits>

namespace tvx {
namespace {

NOTIFYICONDATAW IconData(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = 1;
  return data;
}

void CopyTip(NOTIFYICONDATAW& data, const std::wstring& tip) {
  wcsncpy(data.szTip, tip.c_str(), std::size(data.szTip) - 1);
  data.szTip[std::size(data.szTip) - 1] = L'\0';
}

struct MenuDeleter {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

}  // namespace

bool TrayIcon::Add(HWND window, HICON icon, const std::wstring& tip) {
  window_ = window;
  icon_ = icon;
  tip_ = tip;
  NOTIFYICONDATAW data = IconData(window);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = icon;
  CopyTip(data, tip);
  added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  if (added_) {
    data.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &data);
  }
  return added_;
}

void TrayIcon::SetTip(const std::wstring& tip) {
  tip_ = tip;
  if (!added_) return;
  NOTIFYICONDATAW data = IconData(window_);
  data.uFlags = NIF_TIP | NIF_SHOWTIP;
  CopyTip(data, tip);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAW data = IconData(window_);
  Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
}

std::uint32_t TrayIcon::ShowMenu(HWND window, const std::vector<TrayMenuItem>& items) {
  MenuHandle menu(CreatePopupMenu());
  if (!menu) return 0;
  for (const TrayMenuItem& item : items) {
    if (item.id == 0) {
      AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), item.id, item.label.c_str());
    }
  }
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(window);
  const auto chosen = static_cast<std::uint32_t>(
      TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr));
  PostMessageW(window, WM_NULL, 0, 0);
  return chosen;
}

}  // namespace tvx

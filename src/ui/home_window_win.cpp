#include "ui/home_window_win.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/app_data.h"
#include "foundation/error_text.h"
#include "foundation/log.h"

namespace tvx {
namespace {

constexpr int kIconResource = 101;
constexpr int kClientWidth = 1060;
constexpr int kClientHeight = 980;
constexpr float kTitleHeight = 38;
constexpr float kWindowButtons = 138;

HICON LoadAppIcon(HINSTANCE instance, int metricX, int metricY) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

// The frame around a client rectangle at `dpi` (the per-monitor call exists from Windows 10 1607 on).
void AdjustForDpi(RECT& rect, DWORD style, UINT dpi) {
  using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (fn == nullptr || !fn(&rect, style, FALSE, 0, dpi)) AdjustWindowRectEx(&rect, style, FALSE, 0);
}

std::wstring WindowsUserName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return {};
  std::wstring text(name);
  if (text.size() > 64) text.resize(64);
  return text;
}

}  // namespace

HomeWindow::HomeWindow(HINSTANCE instance) {
  largeIcon_ = LoadAppIcon(instance, SM_CXICON, SM_CYICON);
  smallIcon_ = LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON);
  store_.Load(AppDataFolder() + L"settings.json");
  HomeDependencies deps;
  deps.sleepMs = [](int ms) { Sleep(static_cast<DWORD>(ms)); };
  deps.userName = WindowsUserName;
  deps.postRepaint = [this] {
    if (HWND window = hwnd()) PostMessageW(window, kRepaintMessage, 0, 0);
  };
  HomeShell& shell = *this;
  home_ = std::make_unique<HomeController>(store_, shell, &overlay_, clipboard_, &poster_, std::move(deps));
  view_ = std::make_unique<HomeView>(*home_);
}

HomeWindow::~HomeWindow() {
  tray_.Remove();
  view_.reset();
  home_.reset();
  if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

bool HomeWindow::Start(HINSTANCE instance, std::wstring& error) {
  ui::AppWindowOptions options;
  options.class_name = kHomeWindowClass;
  options.title = L"Tavrix";
  options.width = kClientWidth;
  options.height = kClientHeight;
  options.min_width = 500;
  options.min_height = 320;
  options.large_icon = largeIcon_;
  options.small_icon = smallIcon_;
  if (!Create(instance, options, error)) return false;
  // On a screen smaller than the first size the title bar would start above the top edge, out of
  // reach: the window then takes the work area's size instead.
  PlaceAtFirstSize();

  surface().SetAccent(home_->settings().accentColour);
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  poster_.SetWindow(hwnd());
  clipboard_.SetOwner(hwnd());

  std::wstring overlayError;
  const Rect primary{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!overlay_.Create(instance, primary, overlayError)) Log(kLogError, L"Overlay unavailable: %s", overlayError);
  RestorePlacement(store_);
  if (AddClipboardFormatListener(hwnd())) {
    listening_ = true;
  } else {
    Log(kLogWarning, L"Clipboard listener unavailable: %s",
        ErrorText(HresultFromError(static_cast<std::int32_t>(GetLastError()))));
  }
  // The engine's events, then the network and monitor lists.
  home_->Start();
  AddTrayIcon();
  return true;
}

// --- AppWindow -----------------------------------------------------------------------------------

void HomeWindow::Draw() {
  ui::Surface& ui = surface();
  const float s = ui.scale();
  DrawTitleBar(L"Tavrix", ui.Colour(ui::ThemeColour::Accent));
  view_->Draw(ui, ui.width(), ui.height(), kTitleHeight * s);
  DrawWindowButtons();
}

bool HomeWindow::Tick() { return home_->Tick(); }

bool HomeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    AddTrayIcon();
    result = 0;
    return true;
  }
  switch (message) {
    case kServerEventMessage: {
      // The sink's heap copy of the text is ours now.
      const std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(lParam));
      if (home_->HandleServerEvent(static_cast<ServerEvent>(wParam), text ? *text : std::wstring())) Invalidate();
      result = 0;
      return true;
    }
    case kRepaintMessage:
    case kViewerClosedMessage:
      Invalidate();
      result = 0;
      return true;
    case kTrayCallbackMessage:
      OnTrayEvent(LOWORD(lParam));
      result = 0;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) >= tray::kOpen && LOWORD(wParam) <= tray::kQuit) {
        home_->TrayCommand(LOWORD(wParam));
        Invalidate();
        result = 0;
        return true;
      }
      return false;
    case WM_CLIPBOARDUPDATE:
      home_->OnClipboardUpdate();
      result = 0;
      return true;
    case WM_DISPLAYCHANGE:
      home_->RefreshMonitorList();
      home_->RefreshNetworkList();
      Invalidate();
      return false;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) ShowWindow(hwnd(), SW_HIDE);
      return false;
    case WM_EXITSIZEMOVE:
      home_->SaveWindowPlacement(CurrentPlacement());
      return false;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && home_->HandleEscape()) {
        Invalidate();
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool HomeWindow::OnClose() { return home_->OnClose(); }

void HomeWindow::OnDestroy() { home_->Teardown(CurrentPlacement()); }

bool HomeWindow::IsCaption(float x, float y) {
  RECT rect{};
  GetClientRect(hwnd(), &rect);
  const float s = scale();
  return y < kTitleHeight * s && x < static_cast<float>(rect.right) - kWindowButtons * s;
}

// --- HomeShell -----------------------------------------------------------------------------------

void HomeWindow::BringToFront() {
  ShowWindow(hwnd(), SW_SHOW);
  ShowWindow(hwnd(), SW_RESTORE);
  SetForegroundWindow(hwnd());
}

void HomeWindow::Hide() { ShowWindow(hwnd(), SW_HIDE); }

void HomeWindow::Flash() {
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = hwnd();
  flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
  flash.uCount = 3;
  FlashWindowEx(&flash);
}

void HomeWindow::Destroy() { DestroyWindow(hwnd()); }

void HomeWindow::SetKeepAwake(bool on) {
  SetThreadExecutionState(on ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED) : ES_CONTINUOUS);
}

void HomeWindow::RemoveClipboardListener() {
  if (!listening_) return;
  RemoveClipboardFormatListener(hwnd());
  listening_ = false;
}

void HomeWindow::ApplyAccent(std::uint32_t accent) {
  surface().SetAccent(accent);
  Invalidate();
}

void HomeWindow::ResetWindowSize() {
  PostAction([this] {
    if (hwnd() == nullptr) return;
    ShowWindow(hwnd(), SW_RESTORE);
    PlaceAtFirstSize();
    home_->SaveWindowPlacement(CurrentPlacement());
    home_->SetStatus(L"Window size reset.");
  });
}

void HomeWindow::PlaceAtFirstSize() {
  HWND window = hwnd();
  RECT frame{0, 0, MulDiv(kClientWidth, dpi(), 96), MulDiv(kClientHeight, dpi(), 96)};
  AdjustForDpi(frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), static_cast<UINT>(dpi()));
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT work = monitor.rcWork;
  const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
  const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
  SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Tray, placement -----------------------------------------------------------------------------

void HomeWindow::AddTrayIcon() {
  tray_.Remove();
  tray_.Add(hwnd(), smallIcon_ != nullptr ? smallIcon_ : largeIcon_, TrayTip(home_->sharing()));
}

void HomeWindow::OnTrayEvent(UINT event) {
  switch (event) {
    case WM_LBUTTONUP:
    case NIN_SELECT:
    case NIN_KEYSELECT: BringToFront(); break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
      const std::uint32_t command = TrayIcon::ShowMenu(hwnd(), TrayMenuItems(home_->sharing()));
      if (command != 0) PostMessageW(hwnd(), WM_COMMAND, command, 0);
      break;
    }
    default: break;
  }
}

WindowPlacement HomeWindow::CurrentPlacement() const {
  WindowPlacement placement = home_->settings().window;
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (hwnd() == nullptr || !GetWindowPlacement(hwnd(), &wp)) return placement;
  placement.x = wp.rcNormalPosition.left;
  placement.y = wp.rcNormalPosition.top;
  placement.w = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
  placement.h = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
  placement.maximised = wp.showCmd == SW_SHOWMAXIMIZED;
  return placement;
}

}  // namespace tvx

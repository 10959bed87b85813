#include "ui/app_window_win.h"

#include <dwmapi.h>
#include <wincodec.h>
#include <windowsx.h>

#include <cstdio>

#include "foundation/clock.h"
#include "foundation/error_text.h"
#include "foundation/text.h"
#include "ui/swap_chain_device_win.h"

using Microsoft::WRL::ComPtr;

namespace tvx::ui {
namespace {

constexpr UINT_PTR kFrameTimer = 1;

// Per-monitor DPI calls exist from Windows 10 1607 on; on 8.1 the system DPI is used.
UINT WindowDpi(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (fn) {
    const UINT dpi = fn(hwnd);
    if (dpi) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int MetricForDpi(int index, UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  return fn ? fn(index, dpi) : GetSystemMetrics(index);
}

bool AdjustForDpi(RECT& rect, DWORD style, UINT dpi) {
  using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  return fn ? fn(&rect, style, FALSE, 0, dpi) != 0 : AdjustWindowRectEx(&rect, style, FALSE, 0) != 0;
}

std::uint32_t LastErrorHresult() { return HresultFromError(static_cast<std::int32_t>(GetLastError())); }

// The trace file every window of the process appends to; closed when the process ends.
struct TraceFile {
  std::wstring path;
  bool from_environment_checked = false;
  FILE* file = nullptr;
  ~TraceFile() {
    if (file) std::fclose(file);
  }
  FILE* Get() {
    if (!from_environment_checked) {
      from_environment_checked = true;
      if (path.empty()) {
        wchar_t value[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableW(L"TAVRIX_UI_TRACE", value, MAX_PATH);
        if (n > 0 && n < MAX_PATH) path = value;
      }
    }
    if (!file && !path.empty()) file = _wfopen(path.c_str(), L"ab");
    return file;
  }
};
TraceFile& Trace() {
  static TraceFile trace;
  return trace;
}

// The application icon as premultiplied BGRA pixels, through the imaging component.
bool IconPixels(HICON icon, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  ComPtr<IWICImagingFactory> wic;
  ComPtr<IWICBitmap> bitmap;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic))) ||
      FAILED(wic->CreateBitmapFromHICON(icon, &bitmap)) || FAILED(wic->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(bitmap.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                   0, WICBitmapPaletteTypeCustom))) {
    return false;
  }
  UINT w = 0, h = 0;
  if (FAILED(converter->GetSize(&w, &h)) || w == 0 || h == 0 || w > 1024 || h > 1024) return false;
  pixels.assign(static_cast<std::size_t>(w) * h, 0);
  if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(pixels.data())))) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace

// The clipboard for the surface's text fields: Unicode text only.
class AppWindow::Clipboard : public SurfacePlatform {
 public:
  explicit Clipboard(AppWindow& window) : window_(window) {}
  bool GetClipboardText(std::wstring& text) override {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(window_.hwnd())) return false;
    bool ok = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
        const SIZE_T capacity = GlobalSize(data) / sizeof(wchar_t);
        SIZE_T length = 0;
        while (length < capacity && chars[length] != 0) ++length;  // never read past the block
        text.assign(chars, length);
        ok = true;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return ok;
  }
  void SetClipboardText(std::wstring_view text) override {
    if (!OpenClipboard(window_.hwnd())) return;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (auto* chars = static_cast<wchar_t*>(GlobalLock(block))) {
        std::copy(text.begin(), text.end(), chars);
        chars[text.size()] = 0;
        GlobalUnlock(block);
        if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
      } else {
        GlobalFree(block);
      }
    }
    CloseClipboard();
  }

 private:
  AppWindow& window_;
};

AppWindow::AppWindow() : clipboard_(std::make_unique<Clipboard>(*this)) { surface_.SetPlatform(clipboard_.get()); }

AppWindow::~AppWindow() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void AppWindow::SetTracePath(const std::wstring& path) {
  TraceFile& trace = Trace();
  if (trace.file) std::fclose(trace.file);
  trace.file = nullptr;
  trace.path = path;
  trace.from_environment_checked = true;
}

bool AppWindow::Create(HINSTANCE instance, const AppWindowOptions& options, std::wstring& error) {
  instance_ = instance;
  options_ = options;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &AppWindow::StaticProc;
  wc.hInstance = instance;
  wc.hIcon = options.large_icon;
  wc.hIconSm = options.small_icon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = options.class_name.c_str();
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    error = L"Window class registration failed: " + ErrorText(LastErrorHresult());
    return false;
  }

  DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (options.resizable) style |= WS_THICKFRAME;
  if (options.maximise_button) style |= WS_MAXIMIZEBOX;
  CreateWindowExW(0, options.class_name.c_str(), options.title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                  options.width, options.height, nullptr, nullptr, instance, this);
  if (!hwnd_) {
    error = L"Window creation failed: " + ErrorText(LastErrorHresult());
    return false;
  }

  dpi_ = static_cast<int>(WindowDpi(hwnd_));
  scale_ = dpi_ / 96.0f;
  if (!canvas_.Init(error)) {
    DestroyWindow(hwnd_);
    return false;
  }
  auto device = std::make_unique<SwapChainDevice>(hwnd_, canvas_.factory());
  swap_chain_ = device.get();
  resources_ = std::make_unique<RenderResources>(std::move(device));
  if (HICON icon = options.small_icon ? options.small_icon : options.large_icon) SetWindowIcon(icon);
  surface_.SetTraceWindowName(options.title);
  surface_.EnableTrace(Trace().Get() != nullptr);

  RECT rect = {0, 0, MulDiv(options.width, dpi_, 96), MulDiv(options.height, dpi_, 96)};
  AdjustForDpi(rect, style, static_cast<UINT>(dpi_));
  const int window_width = rect.right - rect.left;
  const int window_height = rect.bottom - rect.top;
  SetWindowPos(hwnd_, nullptr, 0, 0, window_width, window_height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

  POINT cursor = {};
  GetCursorPos(&cursor);
  MONITORINFO monitor = {sizeof(monitor)};
  if (GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    int x = 0, y = 0;
    CentreIn({work.left, work.top, work.right, work.bottom}, window_width, window_height, x, y);
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // Rounded corners and a dark frame where the compositor offers them (values of Windows 11).
  const DWORD round = 2;
  DwmSetWindowAttribute(hwnd_, 33 /* DWMWA_WINDOW_CORNER_PREFERENCE */, &round, sizeof(round));
  const BOOL dark = TRUE;
  DwmSetWindowAttribute(hwnd_, 20 /* DWMWA_USE_IMMERSIVE_DARK_MODE */, &dark, sizeof(dark));

  SetTimer(hwnd_, kFrameTimer, kFrameTimerMillis, nullptr);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  return true;
}

void AppWindow::SetWindowIcon(HICON icon) {
  int w = 0, h = 0;
  std::vector<std::uint32_t> pixels;
  if (IconPixels(icon, w, h, pixels)) surface_.SetIcon(w, h, std::move(pixels));
}

void AppWindow::ReplaceRenderDevice(
    std::function<std::unique_ptr<RenderDevice>(std::unique_ptr<RenderDevice>)> wrap) {
  if (!hwnd_) return;
  if (resources_) resources_->Release();
  resources_.reset();
  auto device = std::make_unique<SwapChainDevice>(hwnd_, canvas_.factory());
  swap_chain_ = device.get();
  resources_ = std::make_unique<RenderResources>(wrap(std::move(device)));
  resources_->Resize(client_width_, client_height_, false);
  Invalidate();
}

LRESULT CALLBACK AppWindow::StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<AppWindow*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<AppWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Proc(message, wparam, lparam);
}

bool AppWindow::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool AppWindow::IsCaption(float, float y) { return y < kTitleBarHeight * scale_; }

void AppWindow::Invalidate() {
  dirty_ = true;
  if (hwnd_ && !in_paint_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void AppWindow::PostAction(std::function<void()> action) {
  deferred_.push_back(std::move(action));
  Invalidate();
}

bool AppWindow::IsMaximised() const {
  WINDOWPLACEMENT placement = {sizeof(placement)};
  return hwnd_ && GetWindowPlacement(hwnd_, &placement) && placement.showCmd == SW_SHOWMAXIMIZED;
}

int AppWindow::FrameThickness() const {
  return MetricForDpi(SM_CXSIZEFRAME, static_cast<UINT>(dpi_)) +
         MetricForDpi(SM_CXPADDEDBORDER, static_cast<UINT>(dpi_));
}

void AppWindow::MouseAt(LPARAM lparam) {
  input_.mouse_x = static_cast<float>(GET_X_LPARAM(lparam));
  input_.mouse_y = static_cast<float>(GET_Y_LPARAM(lparam));
  input_.inside = true;
}

LRESULT AppWindow::HitTest(LPARAM lparam) {
  const POINT screen = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (options_.resizable && !fullscreen_ && !IsMaximised()) {
    RECT r = {};
    GetWindowRect(hwnd_, &r);
    const FrameHit edge = ResizeEdgeAt({r.left, r.top, r.right, r.bottom}, screen.x, screen.y, FrameThickness());
    if (edge != FrameHit::Client) return static_cast<LRESULT>(edge);
  }
  POINT client = screen;
  ScreenToClient(hwnd_, &client);
  if (!fullscreen_ && IsCaption(static_cast<float>(client.x), static_cast<float>(client.y))) return HTCAPTION;
  return HTCLIENT;
}

LRESULT AppWindow::Proc(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (HandleMessage(message, wparam, lparam, result)) return result;

  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd_, &ps);
      if (pacing_.TryPaint(NowMicros())) PaintFrame();
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the frame covers everything; erasing would flicker
    case WM_DESTROY: {
      KillTimer(hwnd_, kFrameTimer);
      OnDestroy();
      if (resources_) resources_->Release();
      canvas_.Attach(nullptr, 0);
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      if (options_.quit_on_destroy) PostQuitMessage(0);
      return 0;
    }
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) return 0;
      client_width_ = std::max(1, static_cast<int>(LOWORD(lparam)));
      client_height_ = std::max(1, static_cast<int>(HIWORD(lparam)));
      if (resources_) resources_->Resize(client_width_, client_height_, in_paint_);
      Invalidate();
      return 0;
    case WM_MOVE:
      // Only the trace's screen rectangles change; redraw so it reports them.
      if (surface_.trace_enabled()) Invalidate();
      return 0;
    case WM_MOUSEMOVE:
      MouseAt(lparam);
      if (!tracking_mouse_) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_mouse_ = TrackMouseEvent(&track) != 0;
      }
      Invalidate();
      return 0;
    case WM_LBUTTONDOWN:
      SetCapture(hwnd_);
      MouseAt(lparam);
      input_.button_down = true;
      input_.pressed = true;
      Invalidate();
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd_) ReleaseCapture();
      MouseAt(lparam);
      input_.button_down = false;
      input_.released = true;
      Invalidate();
      return 0;
    case WM_LBUTTONDBLCLK:
      MouseAt(lparam);
      input_.double_click = true;
      input_.button_down = true;
      input_.pressed = true;
      SetCapture(hwnd_);
      Invalidate();
      return 0;
    case WM_RBUTTONDOWN:
      MouseAt(lparam);
      input_.right_pressed = true;
      Invalidate();
      return 0;
    case WM_MOUSEWHEEL: {
      POINT p = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ScreenToClient(hwnd_, &p);
      input_.mouse_x = static_cast<float>(p.x);
      input_.mouse_y = static_cast<float>(p.y);
      input_.wheel += GET_WHEEL_DELTA_WPARAM(wparam) / 120.0f;
      Invalidate();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (input_.button_down) {
        input_.button_down = false;
        input_.released = true;
      }
      Invalidate();
      return 0;
    case WM_MOUSELEAVE:
      tracking_mouse_ = false;
      input_.inside = false;
      input_.mouse_x = -1;
      input_.mouse_y = -1;
      Invalidate();
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      input_.shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      input_.ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
      input_.key_events.push_back({static_cast<std::uint32_t>(wparam), input_.ctrl, input_.shift});
      Invalidate();
      if (message == WM_SYSKEYDOWN) break;  // Alt+F4 and the system menu keep working
      return 0;
    }
    case WM_CHAR:
      input_.typed.push_back(static_cast<wchar_t>(wparam));
      Invalidate();
      return 0;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      scale_ = dpi_ / 96.0f;
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      OnDpiChanged();
      Invalidate();
      return 0;
    }
    case WM_TIMER:
      if (wparam != kFrameTimer) break;
      {
        std::vector<std::function<void()>> actions = std::move(deferred_);
        deferred_.clear();
        for (auto& action : actions) action();
        if (!hwnd_) return 0;  // an action destroyed the window
        const bool tick = Tick();
        if (PaintPacing::ShouldInvalidateOnTick({tick, dirty_, surface_.PopupOpen(), surface_.HasFocus()})) {
          Invalidate();
        }
      }
      return 0;
    case WM_CLOSE:
      if (OnClose()) DestroyWindow(hwnd_);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        const CursorShape shape = surface_.cursor();
        SetCursor(LoadCursorW(nullptr, shape == CursorShape::IBeam  ? IDC_IBEAM
                                       : shape == CursorShape::Hand ? IDC_HAND
                                                                    : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize.x = MulDiv(options_.min_width, dpi_, 96);
      info->ptMinTrackSize.y = MulDiv(options_.min_height, dpi_, 96);
      return 0;
    }
    case WM_NCCALCSIZE:
      if (wparam) {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lparam);
        if (!fullscreen_) {
          const int frame = FrameThickness();
          RECT& r = params->rgrc[0];
          r.left += frame;
          r.right -= frame;
          r.bottom -= frame;
          if (IsMaximised()) r.top += frame;
        }
        return 0;
      }
      break;
    case WM_NCHITTEST:
      return HitTest(lparam);
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void AppWindow::PaintFrame() {
  if (!resources_) return;
  const std::int64_t start = NowMicros();
  in_paint_ = true;
  const int generation = resources_->Generation();
  if (!resources_->BeginFrame()) {
    in_paint_ = false;
    input_.ClearFrameEvents();
    return;
  }
  if (resources_->Generation() != generation) stats_.setup_micros += NowMicros() - start;
  canvas_.Attach(swap_chain_->context(), resources_->Generation());
  canvas_.SetTextScale(scale_);
  input_.scale = scale_;
  input_.now_ms = start / 1000;
  input_.dirty = dirty_;
  surface_.BeginFrame(canvas_, input_, static_cast<float>(client_width_), static_cast<float>(client_height_));
  Draw();
  surface_.EndFrame();
  const std::int64_t drawn = NowMicros();
  resources_->EndFrame();
  stats_.present_micros += NowMicros() - drawn;
  in_paint_ = false;
  input_.ClearFrameEvents();
  dirty_ = false;
  const std::int64_t took = NowMicros() - start;
  ++stats_.frames;
  stats_.total_micros += took;
  stats_.max_micros = std::max(stats_.max_micros, took);
  stats_.min_micros = stats_.frames == 1 ? took : std::min(stats_.min_micros, took);
  if (surface_.trace_enabled()) WriteTrace();
  // A press or hover handled after some widgets drew: show its effect in one more frame.
  if (surface_.NeedsAnotherFrame()) dirty_ = true;
}

void AppWindow::WriteTrace() {
  POINT origin = {0, 0};
  ClientToScreen(hwnd_, &origin);
  auto line = surface_.TakeTraceLine(origin.x, origin.y);
  FILE* file = Trace().Get();
  if (!line || !file) return;
  line->push_back('\n');
  std::fwrite(line->data(), 1, line->size(), file);
  std::fflush(file);
}

void AppWindow::DrawTitleBar(std::wstring_view title, std::uint32_t dot_colour) {
  Surface& s = surface_;
  const float k = scale_;
  const float band = kTitleBarHeight * k;
  const float width = static_cast<float>(client_width_);
  s.FillRect({0, 0, width, band}, s.Colour(ThemeColour::Panel));
  s.DrawLine({0, band - 0.5f}, {width, band - 0.5f}, s.Colour(ThemeColour::Border), 1);
  float x = 12 * k;
  if (s.HasIcon()) {
    const float side = 18 * k;
    s.DrawIcon(Rect::FromSize(x, (band - side) / 2, side, side));
    x += side + 9 * k;
  } else {
    const float side = 9 * k;
    s.FillRoundedRect(Rect::FromSize(x, (band - side) / 2, side, side), 2.5f * k, dot_colour);
    x += side + 10 * k;
  }
  s.Text(title, {x, 0, width - kTitleRightMargin * k, band}, TextStyle::Body, TextAlign::Left,
         s.Colour(ThemeColour::Text));
}

float AppWindow::DrawWindowButtons() {
  Surface& s = surface_;
  const float k = scale_;
  const TitleBandLayout layout{static_cast<float>(client_width_), k, options_.maximise_button};
  const float w = layout.ButtonWidth();
  const float h = layout.Height();
  float right = static_cast<float>(client_width_);
  auto button = [&](std::uint32_t id, auto&& glyph) {
    const Rect rect{right - w, 0, right, h};
    s.TraceWidget(id, "button",
                  id == kCloseButtonId ? L"Close" : id == kMinimiseButtonId ? L"Minimise" : L"Maximise", true, rect);
    bool hovered = false;
    const bool clicked = s.ButtonBehaviour(id, rect, true, &hovered);
    std::uint32_t colour = s.Colour(ThemeColour::TextSecondary);
    if (hovered) {
      const bool close = id == kCloseButtonId;
      s.FillRect(rect, close ? 0xFFE81123u : s.Colour(ThemeColour::ControlHover));
      colour = close ? 0xFFFFFFFFu : s.Colour(ThemeColour::Text);
    }
    glyph(rect.Centre(), 5 * k, 1.3f * k, colour);
    right -= w;
    return clicked;
  };
  if (button(kCloseButtonId, [&](Point c, float r, float lw, std::uint32_t col) {
        s.DrawLine({c.x - r, c.y - r}, {c.x + r, c.y + r}, col, lw);
        s.DrawLine({c.x - r, c.y + r}, {c.x + r, c.y - r}, col, lw);
      })) {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
  if (options_.maximise_button) {
    const bool maximised = IsMaximised();
    if (button(kMaximiseButtonId, [&](Point c, float r, float lw, std::uint32_t col) {
          if (maximised) {
            const float d = 2 * k;
            s.DrawRoundedRect({c.x - r, c.y - r + d, c.x + r - d, c.y + r}, 0, col, lw);
            s.DrawLine({c.x - r + d, c.y - r}, {c.x + r, c.y - r}, col, lw);
            s.DrawLine({c.x + r, c.y - r}, {c.x + r, c.y + r - d}, col, lw);
          } else {
            s.DrawRoundedRect({c.x - r, c.y - r, c.x + r, c.y + r}, 0, col, lw);
          }
        })) {
      HWND hwnd = hwnd_;
      PostAction([hwnd] {
        WINDOWPLACEMENT p = {sizeof(p)};
        const bool maximised = GetWindowPlacement(hwnd, &p) && p.showCmd == SW_SHOWMAXIMIZED;
        ShowWindow(hwnd, maximised ? SW_RESTORE : SW_MAXIMIZE);
      });
    }
  }
  if (button(kMinimiseButtonId, [&](Point c, float r, float lw, std::uint32_t col) {
        s.DrawLine({c.x - r, c.y}, {c.x + r, c.y}, col, lw);
      })) {
    HWND hwnd = hwnd_;
    PostAction([hwnd] { ShowWindow(hwnd, SW_MINIMIZE); });
  }
  return right;
}

void AppWindow::ToggleFullscreen() {
  if (!hwnd_) return;
  if (in_paint_) {
    PostAction([this] { ToggleFullscreen(); });
    return;
  }
  if (!fullscreen_) {
    WINDOWPLACEMENT placement = {sizeof(placement)};
    MONITORINFO monitor = {sizeof(monitor)};
    if (!GetWindowPlacement(hwnd_, &placement) ||
        !GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
      return;
    }
    saved_placement_ = placement;
    saved_style_ = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    fullscreen_ = true;
    SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    const RECT& m = monitor.rcMonitor;
    SetWindowPos(hwnd_, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top,
                 SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
  } else {
    fullscreen_ = false;
    SetWindowLongPtrW(hwnd_, GWL_STYLE, saved_style_);
    SetWindowPlacement(hwnd_, &saved_placement_);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  Invalidate();
}

void AppWindow::SavePlacement(SettingsStore& settings) const {
  WINDOWPLACEMENT p = {sizeof(p)};
  if (!hwnd_ || !GetWindowPlacement(hwnd_, &p)) return;
  const RECT& r = fullscreen_ ? saved_placement_.rcNormalPosition : p.rcNormalPosition;
  settings.SetInt(L"window.x", r.left);
  settings.SetInt(L"window.y", r.top);
  settings.SetInt(L"window.w", r.right - r.left);
  settings.SetInt(L"window.h", r.bottom - r.top);
  settings.SetBool(L"window.maximised", (fullscreen_ ? saved_placement_.showCmd : p.showCmd) == SW_SHOWMAXIMIZED);
}

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  reinterpret_cast<std::vector<PixelRect>*>(data)->push_back({rect->left, rect->top, rect->right, rect->bottom});
  return TRUE;
}
}  // namespace

bool AppWindow::RestorePlacement(const SettingsStore& settings) {
  if (!hwnd_) return false;
  SavedPlacement saved;
  saved.x = settings.GetInt(L"window.x", 0);
  saved.y = settings.GetInt(L"window.y", 0);
  saved.w = settings.GetInt(L"window.w", 0);
  saved.h = settings.GetInt(L"window.h", 0);
  saved.maximised = settings.GetBool(L"window.maximised", false);
  std::vector<PixelRect> monitors;
  EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  if (!CanRestorePlacement(saved, monitors)) return false;
  SetWindowPos(hwnd_, nullptr, saved.x, saved.y, saved.w, saved.h, SWP_NOZORDER | SWP_NOACTIVATE);
  if (saved.maximised) ShowWindow(hwnd_, SW_MAXIMIZE);
  return true;
}

}  // namespace tvx::ui

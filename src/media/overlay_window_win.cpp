#include "media/overlay_window_win.h"

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include "foundation/error_text.h"
#include "media/overlay_canvas_win.h"
#include "ui/annotation_painter.h"

namespace tvx {

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kOverlayExStyle = WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_LAYERED |
                                  WS_EX_NOACTIVATE;  // 0x080800A8
constexpr ULONGLONG kTopmostIntervalMs = 1000;

LRESULT CALLBACK OverlayProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCHITTEST: return HTTRANSPARENT;
    default: return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

std::uint32_t LastErrorCode() {
  const DWORD e = GetLastError();
  return e == 0 ? 0x80004005u : HresultFromError(static_cast<std::int32_t>(e));
}

// Checks that Direct2D takes a figure of the painter.
HRESULT TryGeometry(ID2D1Factory* factory, const ui::Path& path) {
  ComPtr<ID2D1PathGeometry> geometry;
  ComPtr<ID2D1GeometrySink> sink;
  HRESULT hr = factory->CreatePathGeometry(geometry.GetAddressOf());
  if (SUCCEEDED(hr)) hr = geometry->Open(sink.GetAddressOf());
  if (FAILED(hr)) return hr;
  sink->SetFillMode(D2D1_FILL_MODE_WINDING);
  bool first = true;
  for (const ui::Path::Segment& s : path.segments()) {
    if (s.verb == ui::Path::Verb::Move || s.verb == ui::Path::Verb::Line) {
      if (first) {
        sink->BeginFigure(D2D1::Point2F(s.p[0].x, s.p[0].y), D2D1_FIGURE_BEGIN_FILLED);
        first = false;
      } else {
        sink->AddLine(D2D1::Point2F(s.p[0].x, s.p[0].y));
      }
    }
  }
  if (!first) sink->EndFigure(D2D1_FIGURE_END_CLOSED);
  return sink->Close();
}

}  // namespace

// Declared in the order they are made; released in reverse.
struct OverlayWindow::Parts final : OverlayTarget {
  HWND window = nullptr;
  HDC memoryDc = nullptr;
  HBITMAP surface = nullptr;
  HGDIOBJ replaced = nullptr;
  std::uint32_t* bits = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  bool shown = false;
  ComPtr<ID2D1Factory> factory;
  ComPtr<IDWriteFactory> text;
  ComPtr<IDWriteTextFormat> labelFormat;
  ComPtr<ID2D1DCRenderTarget> target;
  std::unique_ptr<OverlayCanvas> canvas;
  OverlayRenderer renderer{1, 1};
  ULONGLONG lastTopmostTick = 0;

  ~Parts() override {
    canvas.reset();
    target.Reset();
    labelFormat.Reset();
    text.Reset();
    factory.Reset();
    FreeSurface();
    if (window) DestroyWindow(window);
  }

  void FreeSurface() {
    if (memoryDc && replaced) SelectObject(memoryDc, replaced);
    if (surface) DeleteObject(surface);
    if (memoryDc) DeleteDC(memoryDc);
    memoryDc = nullptr;
    surface = nullptr;
    replaced = nullptr;
    bits = nullptr;
  }

  bool MakeSurface(int w, int h) {
    FreeSurface();
    memoryDc = CreateCompatibleDC(nullptr);
    if (!memoryDc) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    surface = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!surface || !pixels) {
      FreeSurface();
      return false;
    }
    bits = static_cast<std::uint32_t*>(pixels);
    replaced = SelectObject(memoryDc, surface);
    return true;
  }

  bool MakeTarget() {
    canvas->SetTarget(nullptr);
    target.Reset();
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        96.0f, 96.0f);
    if (FAILED(factory->CreateDCRenderTarget(&properties, target.GetAddressOf()))) return false;
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    if (!canvas->SetTarget(target.Get())) {
      target.Reset();
      return false;
    }
    return true;
  }

  // OverlayTarget
  bool Ready() override {
    if (!window || !bits) return false;
    // A target lost earlier and not made again then is tried once per render.
    return canvas->HasTarget() || MakeTarget();
  }
  ui::Canvas& BeginDraw() override {
    const RECT whole{0, 0, width, height};
    target->BindDC(memoryDc, &whole);
    target->BeginDraw();
    return *canvas;
  }
  OverlayDrawResult EndDraw() override {
    const HRESULT hr = target->EndDraw();
    GdiFlush();
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) return OverlayDrawResult::RecreateTarget;
    return SUCCEEDED(hr) ? OverlayDrawResult::Ok : OverlayDrawResult::Failed;
  }
  void RecreateTarget() override {
    if (!MakeTarget()) {
      canvas->SetTarget(nullptr);
      target.Reset();
    }
  }
  bool Present(const ui::PixelBounds* region) override {
    POINT position{x, y};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    RECT dirty{};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.hdcDst = nullptr;
    info.pptDst = &position;
    info.psize = &size;
    info.hdcSrc = memoryDc;
    info.pptSrc = &origin;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    if (region) {
      dirty = {region->left, region->top, region->right, region->bottom};
      info.prcDirty = &dirty;
    }
    return UpdateLayeredWindowIndirect(window, &info) != FALSE;
  }
  void KeepOnTop() override { PutOnTop(false); }

  void PutOnTop(bool now) {
    const ULONGLONG tick = GetTickCount64();
    if (!now && lastTopmostTick != 0 && tick - lastTopmostTick < kTopmostIntervalMs) return;
    lastTopmostTick = tick;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
};

OverlayWindow::OverlayWindow() = default;
OverlayWindow::~OverlayWindow() = default;

bool OverlayWindow::Create(HINSTANCE instance, const Rect& rect, std::wstring& error) {
  Destroy();
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OverlayProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      error = L"Overlay class registration failed: " + ErrorText(LastErrorCode());
      return false;
    }
    registered = true;
  }
  if (rect.Width() < 1 || rect.Height() < 1) {
    error = L"Empty overlay region.";
    return false;
  }
  auto parts = std::make_unique<Parts>();
  Parts& p = *parts;
  p.x = rect.left;
  p.y = rect.top;
  p.width = rect.Width();
  p.height = rect.Height();
  p.window = CreateWindowExW(kOverlayExStyle, kClassName, L"Tavrix overlay", WS_POPUP, p.x, p.y, p.width, p.height,
                             nullptr, nullptr, instance, nullptr);
  if (!p.window) {
    error = L"Overlay window creation failed: " + ErrorText(LastErrorCode());
    return false;
  }
  if (!p.MakeSurface(p.width, p.height)) {
    error = L"Overlay surface allocation failed.";
    return false;
  }
  HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, p.factory.GetAddressOf());
  if (FAILED(hr)) {
    error = L"D2D factory: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                           reinterpret_cast<IUnknown**>(p.text.GetAddressOf()));
  if (FAILED(hr)) {
    error = L"DirectWrite factory: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  hr = p.text->CreateTextFormat(ui::kAnnotationFontFamily, nullptr, static_cast<DWRITE_FONT_WEIGHT>(ui::kAnnotationFontWeight),
                                DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 14.0f, L"en-us",
                                p.labelFormat.GetAddressOf());
  if (SUCCEEDED(hr)) hr = p.labelFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
  if (SUCCEEDED(hr)) hr = p.labelFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
  if (FAILED(hr)) {
    error = L"Label font: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  // The painter's figures are made per paint; here only whether Direct2D takes them.
  if (FAILED(hr = TryGeometry(p.factory.Get(), ui::Figures().arrowHead))) {
    error = L"Arrow geometry: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  if (FAILED(hr = TryGeometry(p.factory.Get(), ui::Figures().cursor))) {
    error = L"Cursor geometry: " + ErrorText(static_cast<std::uint32_t>(hr));
    return false;
  }
  p.canvas = std::make_unique<OverlayCanvas>(p.factory.Get(), p.text.Get());
  if (!p.MakeTarget()) {
    error = L"D2D render target failed.";
    return false;
  }
  p.renderer.Resize(p.width, p.height);
  ShowWindow(p.window, SW_HIDE);
  parts_ = std::move(parts);
  return true;
}

void OverlayWindow::Destroy() { parts_.reset(); }

bool OverlayWindow::created() const { return parts_ != nullptr; }

bool OverlayWindow::SetBounds(const Rect& rect) {
  if (!parts_ || rect.Width() < 1 || rect.Height() < 1) return false;
  Parts& p = *parts_;
  if (rect.left == p.x && rect.top == p.y && rect.Width() == p.width && rect.Height() == p.height) return true;
  if (!p.MakeSurface(rect.Width(), rect.Height())) return false;
  p.x = rect.left;
  p.y = rect.top;
  p.width = rect.Width();
  p.height = rect.Height();
  SetWindowPos(p.window, HWND_TOPMOST, p.x, p.y, p.width, p.height, SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  p.renderer.Resize(p.width, p.height);
  return true;
}

void OverlayWindow::SetVisible(bool visible) {
  if (!parts_) return;
  parts_->shown = visible;
  if (visible) {
    ShowWindow(parts_->window, SW_SHOWNOACTIVATE);
    parts_->PutOnTop(true);
  } else {
    ShowWindow(parts_->window, SW_HIDE);
  }
}

OverlayRenderOutcome OverlayWindow::Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs) {
  if (!parts_) return OverlayRenderOutcome::NotReady;
  return parts_->renderer.Render(snapshot, nowMs, *parts_);
}

HWND OverlayWindow::hwnd() const { return parts_ ? parts_->window : nullptr; }

Rect OverlayWindow::bounds() const {
  if (!parts_) return {};
  return {parts_->x, parts_->y, parts_->x + parts_->width, parts_->y + parts_->height};
}

bool OverlayWindow::visible() const { return parts_ && parts_->shown; }

const std::uint32_t* OverlayWindow::pixels() const { return parts_ ? parts_->bits : nullptr; }

const OverlayRenderer* OverlayWindow::renderer() const { return parts_ ? &parts_->renderer : nullptr; }

}  // namespace tvx

// The real screen through the desktop capture of this machine: under emulation that is the GDI
// fallback. Needs a display; without one the test is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "foundation/text.h"
#include "media/desktop_capture.h"
#include "media/gdi_source_win.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

// A window of one known colour, kept on screen while it lives.
class ColourWindow {
 public:
  ColourWindow(int x, int y, int w, int h, COLORREF colour) : brush_(CreateSolidBrush(colour)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = brush_;
    wc.lpszClassName = L"TavrixCaptureTestWindow";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                              nullptr, wc.hInstance, nullptr);
    if (window_) {
      UpdateWindow(window_);
      Pump();
    }
  }
  ~ColourWindow() {
    if (window_) DestroyWindow(window_);
    UnregisterClassW(L"TavrixCaptureTestWindow", GetModuleHandleW(nullptr));
    DeleteObject(brush_);
  }
  bool ok() const { return window_ != nullptr; }
  static void Pump() {
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
  }

 private:
  HBRUSH brush_;
  HWND window_ = nullptr;
};

// Saves the framebuffer as a 32-bit BMP (for looking at what was captured).
void SaveBmp(const char* path, const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  const std::uint32_t bytes = width * height * 4;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + bytes;
  info.biSize = sizeof(info);
  info.biWidth = static_cast<LONG>(width);
  info.biHeight = -static_cast<LONG>(height);
  info.biPlanes = 1;
  info.biBitCount = 32;
  std::fwrite(&file, sizeof(file), 1, f);
  std::fwrite(&info, sizeof(info), 1, f);
  std::fwrite(pixels, 1, bytes, f);
  std::fclose(f);
}

TEST(DesktopCaptureTest, CapturesWhatIsOnTheScreen) {
  tvx::testing::LogCapture log;
  std::unique_ptr<ScreenCapture> capture = CreateDesktopCapture();
  std::wstring error;
  if (!capture->Open(0, error)) GTEST_SKIP() << "no display to capture";
  EXPECT_TRUE(log.Contains(std::wstring(L"Screen capture through ") + capture->SourceName()));
  RecordProperty("source", WideToUtf8(capture->SourceName()));
  ASSERT_GT(capture->width(), 200u);
  ASSERT_GT(capture->height(), 200u);
  ASSERT_EQ(capture->AcquireFrame(50), CaptureResult::Changed);
  EXPECT_EQ(capture->changed().count(), capture->tilesX() * capture->tilesY());

  // Put a coloured window on the screen; the next frames must show it.
  const Rect& desk = capture->desktopRect();
  ColourWindow window(desk.left + 100, desk.top + 100, 150, 90, RGB(200, 30, 90));
  if (!window.ok()) GTEST_SKIP() << "no top-level windows on this display";
  CaptureResult result = CaptureResult::Idle;
  const std::uint8_t* p = nullptr;
  for (int attempt = 0; attempt < 20; ++attempt) {
    result = capture->AcquireFrame(50);
    p = capture->framebuffer() + (150 * capture->width() + 170) * 4;
    if (p[0] == 90 && p[1] == 30 && p[2] == 200) break;
    ColourWindow::Pump();
  }
  EXPECT_EQ(p[0], 90);
  EXPECT_EQ(p[1], 30);
  EXPECT_EQ(p[2], 200);
  (void)result;
  if (const char* path = std::getenv("TVX_CAPTURE_BMP")) SaveBmp(path, capture->framebuffer(), capture->width(),
                                                                 capture->height());
  // GDI lists no rectangles, so hashing alone must find that a still screen did not change: only
  // the rolling refresh's tile is left.
  capture->AcquireFrame(20);
  if (capture->AcquireFrame(20) == CaptureResult::Changed) {
    EXPECT_LE(capture->changed().count(), std::max(1u, capture->tilesX() * capture->tilesY() / 72));
  }
}

}  // namespace
}  // namespace tvx

// The overlay window on a real display (skipped without one): its class and styles, what it
// paints into its surface, and that clicks go through it to the window below.
#include "media/overlay_window_win.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

constexpr int kSize = 400;
UINT gClicks = 0;

LRESULT CALLBACK BelowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_LBUTTONDOWN) ++gClicks;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Pump(DWORD millis) {
  const ULONGLONG end = GetTickCount64() + millis;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(5);
  }
}

AnnotationSnapshot BoxSnapshot(std::uint64_t counter) {
  AnnotationSnapshot snapshot;
  snapshot.changeCounter = counter;
  Drawing box;
  box.kind = DrawingShape::kBox;
  box.colour = 0xFF2060FFu;
  box.width = 20;  // 7.4 px on 400 lines
  box.points = {{0.25f, 0.25f}, {0.75f, 0.75f}};
  snapshot.drawings.push_back(box);
  return snapshot;
}

class OverlayWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring error;
    if (!overlay.Create(GetModuleHandleW(nullptr), {0, 0, kSize, kSize}, error)) {
      GTEST_SKIP() << "no overlay here (no display?): " << std::string(error.begin(), error.end());
    }
  }
  OverlayWindow overlay;
};

TEST_F(OverlayWindowTest, IsALayeredClickThroughToolWindowThatStartsHidden) {
  wchar_t name[64] = {};
  GetClassNameW(overlay.hwnd(), name, 64);
  EXPECT_STREQ(name, L"TavrixOverlay");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(overlay.hwnd(), GWL_EXSTYLE)) & 0x080800A8u, 0x080800A8u);
  EXPECT_FALSE(IsWindowVisible(overlay.hwnd()));
  EXPECT_EQ(SendMessageW(overlay.hwnd(), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
  EXPECT_EQ(SendMessageW(overlay.hwnd(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);

  std::wstring error;
  OverlayWindow other;
  EXPECT_FALSE(other.Create(GetModuleHandleW(nullptr), {10, 10, 10, 50}, error));
  EXPECT_EQ(error, L"Empty overlay region.");
  EXPECT_FALSE(other.created());
  EXPECT_FALSE(overlay.SetBounds({0, 0, 0, 10}));
  EXPECT_TRUE(overlay.SetBounds({0, 0, kSize, kSize}));
}

TEST_F(OverlayWindowTest, PaintsIntoItsSurfaceAndClearsAgain) {
  overlay.SetVisible(true);
  ASSERT_EQ(overlay.Render(BoxSnapshot(1), 0), OverlayRenderOutcome::Painted);
  const std::uint32_t* pixels = overlay.pixels();
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[200 * kSize + 100], 0xFF2060FFu);  // the box's left edge, premultiplied opaque
  EXPECT_EQ(pixels[200 * kSize + 200], 0u);           // its inside
  const std::uint32_t halo = pixels[200 * kSize + 94];  // beside the line, inside the halo only
  EXPECT_EQ(halo & 0x00FFFFFFu, 0u);
  EXPECT_NEAR(static_cast<int>(halo >> 24), 115, 8);

  EXPECT_EQ(overlay.Render(BoxSnapshot(1), 5), OverlayRenderOutcome::Unchanged);
  AnnotationSnapshot empty;
  empty.changeCounter = 2;
  ASSERT_EQ(overlay.Render(empty, 10), OverlayRenderOutcome::Painted);
  for (int i = 0; i < kSize * kSize; ++i) ASSERT_EQ(pixels[i], 0u) << i;

  // A new size repaints everything at the next render.
  ASSERT_TRUE(overlay.SetBounds({0, 0, kSize / 2, kSize / 2}));
  EXPECT_EQ(overlay.Render(BoxSnapshot(3), 15), OverlayRenderOutcome::Painted);
  EXPECT_EQ(overlay.pixels()[100 * (kSize / 2) + 50], 0xFF2060FFu);
}

TEST_F(OverlayWindowTest, ClicksOnAPaintedPixelReachTheWindowBelow) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = BelowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavrixOverlayTestBelow";
  RegisterClassExW(&wc);
  HWND below = CreateWindowExW(0, wc.lpszClassName, L"below", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr,
                               nullptr, wc.hInstance, nullptr);
  ASSERT_NE(below, nullptr);
  SetForegroundWindow(below);
  overlay.SetVisible(true);
  ASSERT_EQ(overlay.Render(BoxSnapshot(1), 0), OverlayRenderOutcome::Painted);
  Pump(300);

  const POINT onTheBox{100, 200};
  EXPECT_EQ(WindowFromPoint(onTheBox), below);
  gClicks = 0;
  SetCursorPos(onTheBox.x, onTheBox.y);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
  Pump(500);
  EXPECT_EQ(gClicks, 1u);
  EXPECT_NE(GetForegroundWindow(), overlay.hwnd());  // never activated
  DestroyWindow(below);
}

}  // namespace
}  // namespace tvx

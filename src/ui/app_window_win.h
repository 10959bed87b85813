// The Win32 shell every top-level window of the program is built on: a borderless-looking frame
// with its own title bar and window buttons (the resize borders stay), the window messages turned
// into the surface's InputState, paints at most every 4 ms and only when something changed,
// deferred actions run on the 16 ms timer outside painting, DPI changes and full screen.
// Derived windows supply the content through the virtual operations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/settings_store.h"
#include "ui/direct2d_canvas_win.h"
#include "ui/input_state.h"
#include "ui/paint_pacing.h"
#include "ui/render_resources.h"
#include "ui/surface.h"
#include "ui/window_geometry.h"

namespace tvx::ui {

class SwapChainDevice;

struct AppWindowOptions {
  std::wstring class_name;
  std::wstring title;
  int width = 900;  // client DIP
  int height = 620;
  int min_width = 640;
  int min_height = 420;
  bool resizable = true;
  bool maximise_button = true;
  bool quit_on_destroy = true;
  HICON large_icon = nullptr;
  HICON small_icon = nullptr;
};

// Frame times measured by the window (BeginFrame to the end of EndFrame, present included).
struct FrameStats {
  std::int64_t frames = 0;
  std::int64_t total_micros = 0;
  std::int64_t max_micros = 0;
  std::int64_t min_micros = 0;
  std::int64_t present_micros = 0;  // of total_micros: ending the drawing and presenting
  std::int64_t setup_micros = 0;    // of total_micros: making device resources
};

class AppWindow {
 public:
  AppWindow();
  virtual ~AppWindow();
  AppWindow(const AppWindow&) = delete;
  AppWindow& operator=(const AppWindow&) = delete;

  // Registers the class if needed, creates, sizes, centres and shows the window. On failure
  // `error` holds "Window class registration failed: ...", "Window creation failed: ..." or the
  // drawing surface's own text.
  bool Create(HINSTANCE instance, const AppWindowOptions& options, std::wstring& error);

  void DrawTitleBar(std::wstring_view title, std::uint32_t dot_colour);
  // Draws minimise, maximise/restore and close, handles their clicks; returns the x where they begin.
  float DrawWindowButtons();
  void ToggleFullscreen();
  // Runs `action` on the next timer tick, outside painting.
  void PostAction(std::function<void()> action);
  void Invalidate();
  bool IsMaximised() const;
  bool IsFullscreen() const { return fullscreen_; }

  // window.x, window.y, window.w, window.h and window.maximised from the normal-position rectangle.
  void SavePlacement(SettingsStore& settings) const;
  // Applies a saved placement when it is at least 300 x 200 and touches a monitor; false otherwise.
  bool RestorePlacement(const SettingsStore& settings);

  HWND hwnd() const { return hwnd_; }
  Surface& surface() { return surface_; }
  int dpi() const { return dpi_; }
  float scale() const { return scale_; }
  const FrameStats& frame_stats() const { return stats_; }
  int render_generation() const { return resources_ ? resources_->Generation() : 0; }
  // The device behind the render rules, so a test can stand a failing one in front of it.
  RenderResources* render_resources() { return resources_.get(); }
  void ReplaceRenderDevice(std::function<std::unique_ptr<RenderDevice>(std::unique_ptr<RenderDevice>)> wrap);

  // Where every window writes its interface trace (one JSON line per change of its widgets);
  // empty switches it off. TAVRIX_UI_TRACE sets it when nothing else did.
  static void SetTracePath(const std::wstring& path);

 protected:
  virtual void Draw() = 0;
  virtual bool Tick() { return false; }
  virtual bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  virtual bool OnClose() { return true; }
  virtual void OnDestroy() {}
  virtual void OnDpiChanged() {}
  virtual bool IsCaption(float x, float y);

  const AppWindowOptions& options() const { return options_; }

 private:
  class Clipboard;

  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Proc(UINT message, WPARAM wparam, LPARAM lparam);
  void PaintFrame();
  void WriteTrace();
  void SetWindowIcon(HICON icon);
  void MouseAt(LPARAM lparam);
  LRESULT HitTest(LPARAM lparam);
  int FrameThickness() const;

  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  std::unique_ptr<Clipboard> clipboard_;
  Direct2DCanvas canvas_;
  std::unique_ptr<RenderResources> resources_;
  SwapChainDevice* swap_chain_ = nullptr;  // the real device, inside resources_
  Surface surface_;
  AppWindowOptions options_;
  int dpi_ = 96;
  float scale_ = 1;
  int client_width_ = 1;
  int client_height_ = 1;
  InputState input_;
  bool tracking_mouse_ = false;
  bool dirty_ = true;
  bool in_paint_ = false;
  PaintPacing pacing_;
  std::vector<std::function<void()>> deferred_;
  bool fullscreen_ = false;
  WINDOWPLACEMENT saved_placement_ = {sizeof(WINDOWPLACEMENT)};
  LONG_PTR saved_style_ = 0;
  FrameStats stats_;
};

}  // namespace tvx::ui

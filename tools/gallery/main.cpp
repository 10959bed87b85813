// tavrix-gallery: every widget of the interface in a real window, for looking at the toolkit and
// for the window tests that drive it under Wine.
//
//   tavrix-gallery.exe [--trace FILE] [--settings FILE] [--fault present|resize]
//
// --trace FILE     append the interface trace (one JSON line per change of the widgets, screen
//                  pixels; also TAVRIX_UI_TRACE=FILE) and, when the window closes, a line with its frame statistics
// --settings FILE  restore the window placement from FILE and save it there when the window closes
// --fault KIND     stand a failing device in front of the real one: the third present reports a
//                  removed device, or the first resize fails (the window must rebuild and go on)
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "foundation/format.h"
#include "foundation/text.h"
#include "ui/app_window_win.h"
#include "ui/gallery_panel.h"
#include "ui/input_state.h"

namespace {

using namespace tvx;
using namespace tvx::ui;

// Passes everything to the real device but fails once, as asked.
class FailingDevice : public RenderDevice {
 public:
  FailingDevice(std::unique_ptr<RenderDevice> real, bool fail_present) : real_(std::move(real)), fail_present_(fail_present) {}
  bool Create(int w, int h, std::wstring& error) override { return real_->Create(w, h, error); }
  void Release() override { real_->Release(); }
  DeviceResult Resize(int w, int h) override {
    DeviceResult r = real_->Resize(w, h);
    if (!fail_present_ && !failed_) {
      failed_ = true;
      return DeviceResult::Failed;
    }
    return r;
  }
  void BeginDraw() override { real_->BeginDraw(); }
  DeviceResult EndDrawAndPresent() override {
    DeviceResult r = real_->EndDrawAndPresent();
    if (fail_present_ && !failed_ && ++presents_ == 3) {
      failed_ = true;
      return DeviceResult::DeviceRemoved;
    }
    return r;
  }

 private:
  std::unique_ptr<RenderDevice> real_;
  bool fail_present_;
  bool failed_ = false;
  int presents_ = 0;
};

class GalleryWindow : public AppWindow {
 public:
  explicit GalleryWindow(std::wstring trace_path) : trace_path_(std::move(trace_path)) {}
  std::wstring settings_path;
  SettingsStore settings;

 protected:
  void Draw() override {
    Surface& s = surface();
    const float k = scale();
    DrawTitleBar(L"Tavrix widget gallery", s.Colour(ThemeColour::Accent));
    const float band = kTitleBarHeight * k;
    panel_.Draw(s, {0, band, s.width(), s.height()});
    DrawWindowButtons();
  }
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM, LRESULT& result) override {
    if (message == WM_KEYDOWN && wparam == keys::kF11) {
      ToggleFullscreen();
      result = 0;
      return true;
    }
    if (message == WM_EXITSIZEMOVE && !settings_path.empty()) {
      SavePlacement(settings);
      settings.Save();
    }
    return false;
  }
  bool IsCaption(float x, float y) override {
    // The buttons are not part of the caption: dragging over them must not move the window.
    const TitleBandLayout band{surface().width(), scale(), options().maximise_button};
    return band.PartAt(x, y) == TitleBandPart::Caption;
  }
  void OnDestroy() override {
    if (!settings_path.empty()) {
      SavePlacement(settings);
      settings.Save();
    }
    if (trace_path_.empty()) return;
    const FrameStats& stats = frame_stats();
    const std::wstring line = FormatText(
        L"{\"window\":\"Tavrix widget gallery\",\"frames\":%lld,\"frameMicrosAvg\":%lld,\"frameMicrosMax\":%lld,\"frameMicrosMin\":%lld,"
        L"\"presentMicrosTotal\":%lld,\"setupMicrosTotal\":%lld,\"renderGeneration\":%d,\"dpi\":%d}\n",
        static_cast<long long>(stats.frames),
        static_cast<long long>(stats.frames ? stats.total_micros / stats.frames : 0),
        static_cast<long long>(stats.max_micros), static_cast<long long>(stats.min_micros),
        static_cast<long long>(stats.present_micros),
        static_cast<long long>(stats.setup_micros), render_generation(), dpi());
    if (FILE* f = _wfopen(trace_path_.c_str(), L"ab")) {
      const std::string utf8 = WideToUtf8(line);
      std::fwrite(utf8.data(), 1, utf8.size(), f);
      std::fclose(f);
    }
  }

 private:
  std::wstring trace_path_;
  GalleryPanel panel_;
};

void MakeDpiAware() {
  using Fn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // Wine refuses the per-monitor context (error 87); system awareness still gives the real DPI.
  if (!fn || !fn(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) SetProcessDPIAware();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  MakeDpiAware();
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring trace, settings_path, fault;
  for (int i = 1; argv && i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--trace" && i + 1 < argc) trace = argv[++i];
    else if (arg == L"--settings" && i + 1 < argc) settings_path = argv[++i];
    else if (arg == L"--fault" && i + 1 < argc) fault = argv[++i];
  }
  if (argv) LocalFree(argv);
  if (trace.empty()) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"TAVRIX_UI_TRACE", value, MAX_PATH);
    if (n > 0 && n < MAX_PATH) trace = value;
  }
  if (!trace.empty()) AppWindow::SetTracePath(trace);

  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  int code = 1;
  {
    GalleryWindow window(trace);
    AppWindowOptions options;
    options.class_name = L"TavrixGallery";
    options.title = L"Tavrix widget gallery";
    std::wstring error;
    if (!window.Create(instance, options, error)) {
      MessageBoxW(nullptr, error.c_str(), L"Tavrix", MB_ICONERROR);
    } else {
      if (!settings_path.empty()) {
        window.settings_path = settings_path;
        window.settings.Load(settings_path);
        window.RestorePlacement(window.settings);
      }
      if (!fault.empty()) {
        const bool present = fault == L"present";
        window.ReplaceRenderDevice([present](std::unique_ptr<RenderDevice> real) {
          return std::make_unique<FailingDevice>(std::move(real), present);
        });
      }
      MSG msg;
      BOOL got;
      while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      code = got == 0 ? static_cast<int>(msg.wParam) : 1;
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

// The overlay window as the home window's behaviour sees it.
#pragma once

#include <windows.h>

#include "media/overlay_window_win.h"
#include "ui/home_shell.h"

namespace tvx {

class WindowsHomeOverlay final : public HomeOverlay {
 public:
  // Creates the (hidden) window over `rect`; false with the reason in `error`.
  bool Create(HINSTANCE instance, const Rect& rect, std::wstring& error) {
    return window_.Create(instance, rect, error);
  }
  bool created() const { return window_.created(); }

  void Place(const Rect& desktopRect) override {
    if (window_.created()) window_.SetBounds(desktopRect);
  }
  void Show() override {
    if (window_.created()) window_.SetVisible(true);
  }
  void Hide() override {
    if (window_.created()) window_.SetVisible(false);
  }
  bool Shown() const override { return window_.created() && window_.visible(); }
  void Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs) override {
    if (window_.created()) window_.Render(snapshot, nowMs);
    lastMs_ = nowMs;
  }
  void Clear() override {
    if (window_.created()) window_.Render(AnnotationSnapshot{}, lastMs_);
  }
  void Teardown() override { window_.Destroy(); }

 private:
  OverlayWindow window_;
  std::uint64_t lastMs_ = 0;
};

}  // namespace tvx

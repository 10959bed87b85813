// What the home window's behaviour needs from the window around it: the native window, the tray,
// the overlay on the shared screen and the system's keep-awake request. The Windows home window
// implements these; tests use fakes that record the calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "media/annotation_store.h"
#include "media/monitor_info.h"

namespace tvx {

class HomeShell {
 public:
  virtual ~HomeShell() = default;
  virtual void Repaint() = 0;
  // Show, restore and bring to the foreground (also out of the tray).
  virtual void BringToFront() = 0;
  // Hides the window to the tray.
  virtual void Hide() = 0;
  // Flashes the caption and the taskbar button three times.
  virtual void Flash() = 0;
  // Destroys the window (the program ends).
  virtual void Destroy() = 0;
  virtual void SetKeepAwake(bool on) = 0;
  virtual void SetTrayTip(const std::wstring& tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  // One attempt to put text on the clipboard.
  virtual bool SetClipboardText(std::wstring_view text) = 0;
  virtual void RemoveClipboardListener() = 0;
  // The accent changed: the window rebuilds its theme.
  virtual void ApplyAccent(std::uint32_t accent) = 0;
  // Restores the window at its first size, centred, as a deferred action (it then saves the
  // placement and calls back SetStatus("Window size reset.")).
  virtual void ResetWindowSize() = 0;
};

// The click-through window over the shared monitor that shows the viewers' pointers and drawings.
class HomeOverlay {
 public:
  virtual ~HomeOverlay() = default;
  virtual void Place(const Rect& desktopRect) = 0;
  virtual void Show() = 0;  // without activating
  virtual void Hide() = 0;
  virtual bool Shown() const = 0;
  virtual void Render(const AnnotationSnapshot& snapshot, std::uint64_t nowMs) = 0;
  // Paints nothing (before hiding, so a later show starts empty).
  virtual void Clear() = 0;
  // The window goes for good.
  virtual void Teardown() = 0;
};

}  // namespace tvx

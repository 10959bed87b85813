// The Windows clipboard for the clipboard watcher: Unicode text, one attempt per call.
#pragma once

#include <windows.h>

#include "ui/clipboard_access.h"

namespace tvx {

class WindowsClipboard final : public ClipboardAccess {
 public:
  // The window that owns the clipboard while it is open (may be set later).
  void SetOwner(HWND owner) { owner_ = owner; }

  bool HasText() override;
  bool Open() override;
  void Close() override;
  bool ReadText(std::wstring& text) override;
  bool WriteText(std::wstring_view text) override;

 private:
  HWND owner_ = nullptr;
};

// Puts `text` on the clipboard in one attempt (Copy details, Copy my ID).
bool SetClipboardTextOnce(HWND owner, std::wstring_view text);

}  // namespace tvx

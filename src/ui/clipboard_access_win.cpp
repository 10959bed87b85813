#include "ui/clipboard_access_win.h"

#include <cstring>
#include <memory>

namespace tvx {
namespace {

// Movable global memory until the clipboard takes it over.
struct GlobalFreeDeleter {
  void operator()(void* memory) const { GlobalFree(memory); }
};
using GlobalMemory = std::unique_ptr<void, GlobalFreeDeleter>;

}  // namespace

bool WindowsClipboard::HasText() { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }

bool WindowsClipboard::Open() { return OpenClipboard(owner_) != FALSE; }

void WindowsClipboard::Close() { CloseClipboard(); }

bool WindowsClipboard::ReadText(std::wstring& text) {
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return false;
  const auto* units = static_cast<const wchar_t*>(GlobalLock(data));
  if (units == nullptr) return false;
  // Up to the terminating zero, but never past the end of the block (another program may have
  // stored text without one).
  const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  std::size_t length = 0;
  while (length < capacity && units[length] != L'\0') ++length;
  text.assign(units, length);
  GlobalUnlock(data);
  return true;
}

bool WindowsClipboard::WriteText(std::wstring_view text) {
  if (!EmptyClipboard()) return false;
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory) return false;
  auto* units = static_cast<wchar_t*>(GlobalLock(memory.get()));
  if (units == nullptr) return false;
  std::memcpy(units, text.data(), text.size() * sizeof(wchar_t));
  units[text.size()] = L'\0';
  GlobalUnlock(memory.get());
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

bool SetClipboardTextOnce(HWND owner, std::wstring_view text) {
  WindowsClipboard clipboard;
  clipboard.SetOwner(owner);
  if (!clipboard.Open()) return false;
  const bool written = clipboard.WriteText(text);
  clipboard.Close();
  return written;
}

}  // namespace tvx

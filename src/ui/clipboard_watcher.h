// Clipboard sharing on this PC: notices new clipboard text and writes received text, and tells the
// program's own writes apart from the user's by remembering the hash of the last text seen or set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/clipboard_access.h"

namespace tvx {

inline constexpr std::size_t kClipboardMaxChars = 1048576;     // UTF-16 code units
inline constexpr std::size_t kClipboardMaxUtf8Bytes = 4194304;
inline constexpr int kClipboardAttempts = 8;
inline constexpr int kClipboardRetryMs = 12;

// 64-bit FNV-1a over the text's UTF-16 code units, low byte first, never 0.
std::uint64_t ClipboardTextHash(std::wstring_view text);
// The text's length in UTF-16 code units (what the limits count).
std::size_t Utf16Length(std::wstring_view text);

class ClipboardWatcher {
 public:
  // `sleepMs` waits between attempts (tests pass one that does not sleep).
  ClipboardWatcher(ClipboardAccess& clipboard, std::function<void(int)> sleepMs);

  // The clipboard changed: the new text when it is text of an allowed length that is not the
  // echo of what was seen or set last; nothing otherwise (also when the clipboard stayed busy).
  std::optional<std::wstring> OnClipboardUpdate();

  // Puts received text on the clipboard. Its hash is remembered first, so the change notice that
  // follows is known as the program's own. False when the text is out of limits or the clipboard
  // stayed busy.
  bool PutText(std::wstring_view text);

  std::uint64_t lastHash() const { return lastHash_; }

 private:
  bool OpenWithRetries();

  ClipboardAccess& clipboard_;
  std::function<void(int)> sleepMs_;
  std::uint64_t lastHash_ = 0;
};

}  // namespace tvx

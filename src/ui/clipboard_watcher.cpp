#include "ui/clipboard_watcher.h"

namespace tvx {
namespace {

constexpr std::uint64_t kFnvOffset = 0x14650FB0739D0383ull;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ull;

// Calls `unit` for each UTF-16 code unit of `text` (wide strings are UTF-32 off Windows).
template <class F>
void ForEachUtf16Unit(std::wstring_view text, F&& unit) {
  for (wchar_t c : text) {
    const auto v = static_cast<std::uint32_t>(c);
    if constexpr (sizeof(wchar_t) == 2) {
      unit(static_cast<std::uint16_t>(v));
    } else if (v >= 0x10000 && v <= 0x10FFFF) {
      unit(static_cast<std::uint16_t>(0xD800 + ((v - 0x10000) >> 10)));
      unit(static_cast<std::uint16_t>(0xDC00 + ((v - 0x10000) & 0x3FF)));
    } else {
      unit(static_cast<std::uint16_t>(v > 0xFFFF ? 0xFFFD : v));
    }
  }
}

bool WithinLimits(std::wstring_view text) {
  const std::size_t length = Utf16Length(text);
  return length >= 1 && length <= kClipboardMaxChars;
}

}  // namespace

std::uint64_t ClipboardTextHash(std::wstring_view text) {
  std::uint64_t hash = kFnvOffset;
  ForEachUtf16Unit(text, [&](std::uint16_t u) {
    hash = (hash ^ (u & 0xFFu)) * kFnvPrime;
    hash = (hash ^ (u >> 8)) * kFnvPrime;
  });
  return hash == 0 ? 1 : hash;
}

std::size_t Utf16Length(std::wstring_view text) {
  std::size_t n = 0;
  ForEachUtf16Unit(text, [&](std::uint16_t) { ++n; });
  return n;
}

ClipboardWatcher::ClipboardWatcher(ClipboardAccess& clipboard, std::function<void(int)> sleepMs)
    : clipboard_(clipboard), sleepMs_(std::move(sleepMs)) {}

bool ClipboardWatcher::OpenWithRetries() {
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    if (attempt > 0 && sleepMs_) sleepMs_(kClipboardRetryMs);
    if (clipboard_.Open()) return true;
  }
  return false;
}

std::optional<std::wstring> ClipboardWatcher::OnClipboardUpdate() {
  if (!clipboard_.HasText() || !OpenWithRetries()) return std::nullopt;
  std::wstring text;
  const bool read = clipboard_.ReadText(text);
  clipboard_.Close();
  if (!read || !WithinLimits(text)) return std::nullopt;
  const std::uint64_t hash = ClipboardTextHash(text);
  if (hash == lastHash_) return std::nullopt;
  lastHash_ = hash;
  return text;
}

bool ClipboardWatcher::PutText(std::wstring_view text) {
  if (!WithinLimits(text)) return false;
  lastHash_ = ClipboardTextHash(text);
  if (!OpenWithRetries()) return false;
  const bool written = clipboard_.WriteText(text);
  clipboard_.Close();
  return written;
}

}  // namespace tvx

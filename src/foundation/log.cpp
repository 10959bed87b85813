#include "foundation/log.h"

#include <atomic>
#include <mutex>

#include "foundation/app_data.h"
#include "foundation/log_platform.h"
#include "foundation/text.h"

namespace tvx {
namespace {

constexpr std::size_t kMessageChars = 1023;  // a 1024-character buffer with its terminator
constexpr std::size_t kLineChars = 1199;     // a 1200-character buffer with its terminator

struct LogState {
  std::mutex fileMutex;
  log_platform::AppendFile file;
  std::mutex observerMutex;
  LogObserver observer;
  std::atomic<bool> debugOutput{true};
};

LogState& State() {
  static LogState state;
  return state;
}

// Cuts without splitting a UTF-16 surrogate pair, which would leave half a character.
void CutTo(std::wstring& text, std::size_t limit) {
  if (text.size() <= limit) return;
  if constexpr (sizeof(wchar_t) == 2) {
    const wchar_t last = text[limit - 1];
    if (last >= 0xD800 && last <= 0xDBFF) --limit;
  }
  text.resize(limit);
}

}  // namespace

const wchar_t* LogLevelName(std::uint32_t level) {
  switch (level) {
    case kLogDebug: return L"DBG";
    case kLogInfo: return L"INF";
    case kLogWarning: return L"WRN";
    default: return L"ERR";
  }
}

void LogMessage(std::uint32_t level, std::wstring_view message) {
  LogState& state = State();
  std::wstring text(message);
  CutTo(text, kMessageChars);

  const log_platform::TimeOfDay t = log_platform::LocalTimeOfDay();
  std::wstring line = FormatText(L"[%02u:%02u:%02u.%03u %s t%lu] %s\r\n", t.hour, t.minute, t.second,
                                 t.millisecond, LogLevelName(level), log_platform::CurrentThreadNumber(), text);
  CutTo(line, kLineChars);

  if (state.debugOutput.load(std::memory_order_relaxed)) log_platform::WriteDebugOutput(line);
  {
    std::lock_guard lock(state.observerMutex);
    if (state.observer) state.observer(level, text);
  }
  std::lock_guard lock(state.fileMutex);
  if (state.file.IsOpen()) state.file.Append(WideToUtf8(line));
}

bool OpenLogFile(const std::wstring& path) {
  LogState& state = State();
  std::lock_guard lock(state.fileMutex);
  state.file.Close();
  return state.file.Open(path);
}

void CloseLogFile() {
  LogState& state = State();
  std::lock_guard lock(state.fileMutex);
  state.file.Close();
}

std::wstring DefaultLogPath() { return AppDataFolder() + L"tavrix.log"; }

void SetLogObserver(LogObserver observer) {
  LogState& state = State();
  std::lock_guard lock(state.observerMutex);
  state.observer = std::move(observer);
}

void SetLogToDebugOutput(bool enabled) { State().debugOutput.store(enabled, std::memory_order_relaxed); }

}  // namespace tvx

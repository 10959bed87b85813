// The process-wide diagnostic log: one line per event, from any thread.
//
// A line reads "[HH:MM:SS.mmm LVL tID] message" followed by CR LF. Every line goes to the debugger
// output (stderr outside Windows) and, once OpenLogFile has succeeded, is appended to the log file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/format.h"

namespace tvx {

enum LogLevel : std::uint32_t {
  kLogDebug = 0,
  kLogInfo = 1,
  kLogWarning = 2,
  kLogError = 3,  // and any higher value
};

// "DBG", "INF", "WRN" or "ERR".
const wchar_t* LogLevelName(std::uint32_t level);

// Writes an already formatted message (cut to 1023 characters). Never fails toward the caller.
void LogMessage(std::uint32_t level, std::wstring_view message);

template <class... Args>
void Log(std::uint32_t level, std::wstring_view format, const Args&... args) {
  LogMessage(level, FormatText(format, args...));
}

// Opens (creating if missing, never truncating) the file for appending; closes an open one first.
// Returns false when the file cannot be opened: the log then goes to the debugger output only.
bool OpenLogFile(const std::wstring& path);
void CloseLogFile();

// Where the entry code puts the log: AppDataFolder() + "tavrix.log".
std::wstring DefaultLogPath();

// Sends every message to `observer` as well (tests use this to check log texts); an empty function
// removes it. The observer runs outside the log mutex, on the logging thread.
using LogObserver = std::function<void(std::uint32_t level, const std::wstring& message)>;
void SetLogObserver(LogObserver observer);

// Silences the debugger/stderr copy (command-line tools that print their own output use it).
void SetLogToDebugOutput(bool enabled);

}  // namespace tvx

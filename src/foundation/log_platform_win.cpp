#include <windows.h>

#include "foundation/log_platform.h"

namespace tvx::log_platform {

TimeOfDay LocalTimeOfDay() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

unsigned long CurrentThreadNumber() { return GetCurrentThreadId(); }

void WriteDebugOutput(const std::wstring& line) { OutputDebugStringW(line.c_str()); }

bool AppendFile::Open(const std::wstring& path) {
  Close();
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

void AppendFile::Append(std::string_view bytes) {
  if (handle_ == kInvalid) return;
  DWORD written = 0;
  // FILE_APPEND_DATA makes each WriteFile one atomic append; a short write is ignored.
  WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void AppendFile::Close() {
  if (handle_ == kInvalid) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kInvalid;
}

}  // namespace tvx::log_platform

// The few platform calls the log needs: debugger output, local time, thread id, an append-only file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::log_platform {

struct TimeOfDay {
  unsigned hour, minute, second, millisecond;
};

TimeOfDay LocalTimeOfDay();
unsigned long CurrentThreadNumber();
// OutputDebugStringW on Windows, stderr elsewhere.
void WriteDebugOutput(const std::wstring& line);

// A file opened for appending only, shared with other writers; each Append is one write call.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  bool Open(const std::wstring& path);
  void Append(std::string_view bytes);
  void Close();
  bool IsOpen() const { return handle_ != kInvalid; }

 private:
  static constexpr std::intptr_t kInvalid = -1;
  std::intptr_t handle_ = kInvalid;
};

}  // namespace tvx::log_platform

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "foundation/log_platform.h"
#include "foundation/text.h"

namespace tvx::log_platform {

TimeOfDay LocalTimeOfDay() {
  timeval now{};
  gettimeofday(&now, nullptr);
  const time_t seconds = now.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  return {static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
          static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(now.tv_usec / 1000)};
}

unsigned long CurrentThreadNumber() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

void WriteDebugOutput(const std::wstring& line) {
  // CR LF ends a log line in the file; a terminal wants a plain LF.
  std::string text = WideToUtf8(line);
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.erase(text.size() - 2, 1);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

bool AppendFile::Open(const std::wstring& path) {
  Close();
  const int fd = ::open(WideToUtf8(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

void AppendFile::Append(std::string_view bytes) {
  if (handle_ == kInvalid) return;
  // One write per line keeps lines of several writers whole; a short write is ignored.
  [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
}

void AppendFile::Close() {
  if (handle_ == kInvalid) return;
  ::close(static_cast<int>(handle_));
  handle_ = kInvalid;
}

}  // namespace tvx::log_platform

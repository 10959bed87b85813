#include "support/log_capture.h"

#include "foundation/log.h"

namespace tvx::testing {

LogCapture::LogCapture() {
  SetLogObserver([this](std::uint32_t level, const std::wstring& message) {
    std::lock_guard lock(mutex_);
    entries_.push_back({level, message});
  });
}

LogCapture::~LogCapture() { SetLogObserver({}); }

std::vector<LogCapture::Entry> LogCapture::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

bool LogCapture::Contains(const std::wstring& fragment) const { return Count(fragment) > 0; }

std::size_t LogCapture::Count(const std::wstring& fragment) const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const Entry& e : entries_) {
    if (e.message.find(fragment) != std::wstring::npos) ++n;
  }
  return n;
}

void LogCapture::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

}  // namespace tvx::testing

#include <windows.h>

#include "foundation/thread_cpu.h"

namespace tvx {
namespace {

std::int64_t ThreadMicros(HANDLE thread) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10;  // 100 ns units
}

}  // namespace

std::int64_t ThreadCpuMicros() { return ThreadMicros(GetCurrentThread()); }

ThreadCpuClock::ThreadCpuClock() {
  // GetCurrentThread is a pseudo handle that means "the caller" to whoever uses it: other threads
  // need a real one.
  HANDLE real = nullptr;
  open_ = DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &real,
                          THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0) != FALSE;
  if (open_) handle_ = reinterpret_cast<std::intptr_t>(real);
}

ThreadCpuClock::~ThreadCpuClock() {
  if (open_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::int64_t ThreadCpuClock::Micros() const { return open_ ? ThreadMicros(reinterpret_cast<HANDLE>(handle_)) : 0; }

}  // namespace tvx

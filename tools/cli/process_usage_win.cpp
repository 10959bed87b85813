#include <windows.h>
#include <psapi.h>

#include "process_usage.h"

namespace tvx::cli {

std::uint64_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

std::int64_t ThreadCpuMicros() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10;  // 100 ns units
}

void RaiseOpenFileLimit() {}  // sockets are not limited per process on Windows

}  // namespace tvx::cli

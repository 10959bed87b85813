#include <windows.h>
#include <psapi.h>

#include "process_usage.h"

namespace tvx::cli {

std::uint64_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

void RaiseOpenFileLimit() {}  // sockets are not limited per process on Windows

}  // namespace tvx::cli

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "process_usage.h"

namespace tvx::cli {

std::uint64_t ResidentBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long long size = 0, resident = 0;
  const int read = std::fscanf(statm, "%llu %llu", &size, &resident);
  std::fclose(statm);
  return read == 2 ? resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace tvx::cli

#include <sys/resource.h>

#include <limits>

#include "relay_descriptor_limit.h"

namespace tvx::relay {

namespace {

std::size_t ToCount(rlim_t value) {
  if (value == RLIM_INFINITY || value > std::numeric_limits<std::size_t>::max()) return 0;
  return static_cast<std::size_t>(value);
}

}  // namespace

std::size_t DescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  return ToCount(limit.rlim_cur);
}

std::size_t RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  // An unlimited hard limit is not a number the kernel takes for descriptors; Linux's usual
  // ceiling (fs.nr_open) is.
  constexpr rlim_t kUsualCeiling = 1 << 20;
  const rlim_t target = limit.rlim_max == RLIM_INFINITY ? kUsualCeiling : limit.rlim_max;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < target) {
    limit.rlim_cur = target;
    setrlimit(RLIMIT_NOFILE, &limit);  // where it is not allowed, the old limit stays
  }
  return DescriptorLimit();
}

}  // namespace tvx::relay

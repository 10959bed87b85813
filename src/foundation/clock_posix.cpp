#include <cerrno>
#include <ctime>

#include "foundation/clock.h"

namespace tvx {

std::int64_t NowMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void SleepUntil(std::int64_t deadline) {
  if (NowMicros() >= deadline) return;
  timespec until{};
  until.tv_sec = static_cast<time_t>(deadline / 1000000);
  until.tv_nsec = static_cast<long>((deadline % 1000000) * 1000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

}  // namespace tvx

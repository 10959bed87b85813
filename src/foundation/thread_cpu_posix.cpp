#include <pthread.h>
#include <time.h>

#include "foundation/thread_cpu.h"

namespace tvx {
namespace {

std::int64_t ClockMicros(clockid_t id) {
  timespec t{};
  if (clock_gettime(id, &t) != 0) return 0;
  return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

std::int64_t ThreadCpuMicros() { return ClockMicros(CLOCK_THREAD_CPUTIME_ID); }

ThreadCpuClock::ThreadCpuClock() {
  clockid_t id{};
  open_ = pthread_getcpuclockid(pthread_self(), &id) == 0;
  if (open_) handle_ = static_cast<std::intptr_t>(id);
}

ThreadCpuClock::~ThreadCpuClock() = default;  // a thread's clock id needs no closing

std::int64_t ThreadCpuClock::Micros() const {
  return open_ ? ClockMicros(static_cast<clockid_t>(handle_)) : 0;
}

}  // namespace tvx

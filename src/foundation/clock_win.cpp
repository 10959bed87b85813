#include <windows.h>

#include "foundation/clock.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace tvx {
namespace {

std::int64_t CounterFrequency() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  return frequency;
}

// The pacing timer of one thread, closed when the thread ends.
class ThreadTimer {
 public:
  ThreadTimer() {
    handle_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (handle_ == nullptr) handle_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }
  ~ThreadTimer() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

std::int64_t NowMicros() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const std::int64_t frequency = CounterFrequency();
  // Whole seconds and the remainder apart: counter * 1,000,000 would overflow after days of uptime.
  const std::int64_t seconds = counter.QuadPart / frequency;
  const std::int64_t rest = counter.QuadPart % frequency;
  return seconds * 1000000 + rest * 1000000 / frequency;
}

void SleepUntil(std::int64_t deadline) {
  const std::int64_t now = NowMicros();
  if (now >= deadline) return;
  thread_local ThreadTimer timer;
  if (timer.handle() != nullptr) {
    LARGE_INTEGER due{};
    due.QuadPart = -(deadline - now) * 10;  // negative: relative, in 100-nanosecond units
    if (SetWaitableTimerEx(timer.handle(), &due, 0, nullptr, nullptr, nullptr, 0)) {
      WaitForSingleObject(timer.handle(), INFINITE);
      return;
    }
  }
  Sleep(static_cast<DWORD>((deadline - now) / 1000));
}

}  // namespace tvx

// Processor time per group of threads. Every thread of an engine charges the engine's account for
// its lifetime, so a tool running a host and a viewer in one process can tell their costs apart.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace tvx {

// CPU time (user and kernel) the calling thread has used, in microseconds; 0 when unknown.
std::int64_t ThreadCpuMicros();

// The calling thread's CPU clock, which other threads may read for as long as that thread lives.
class ThreadCpuClock {
 public:
  ThreadCpuClock();
  ~ThreadCpuClock();
  ThreadCpuClock(const ThreadCpuClock&) = delete;
  ThreadCpuClock& operator=(const ThreadCpuClock&) = delete;

  // Microseconds the owning thread has used so far; 0 when the clock could not be opened.
  std::int64_t Micros() const;

 private:
  std::intptr_t handle_ = 0;  // clockid_t on POSIX, a thread HANDLE on Windows
  bool open_ = false;
};

class ThreadCpuCharge;

class ThreadCpuAccount {
 public:
  ThreadCpuAccount() = default;
  ThreadCpuAccount(const ThreadCpuAccount&) = delete;
  ThreadCpuAccount& operator=(const ThreadCpuAccount&) = delete;

  // Threads that ended count in full, live ones with what they have used so far.
  std::int64_t TotalMicros() const;

 private:
  friend class ThreadCpuCharge;
  void Join(const ThreadCpuCharge* charge);
  void Leave(const ThreadCpuCharge* charge, std::int64_t used);

  mutable std::mutex mutex_;
  std::int64_t endedMicros_ = 0;
  std::vector<const ThreadCpuCharge*> live_;
};

// Charges the calling thread's CPU time from now until it goes out of scope; placed first in a
// thread's body. A null account charges nothing. The account must outlive the charge.
class ThreadCpuCharge {
 public:
  explicit ThreadCpuCharge(ThreadCpuAccount* account);
  ~ThreadCpuCharge();
  ThreadCpuCharge(const ThreadCpuCharge&) = delete;
  ThreadCpuCharge& operator=(const ThreadCpuCharge&) = delete;

  std::int64_t UsedMicros() const;

 private:
  ThreadCpuAccount* account_;
  ThreadCpuClock clock_;
  std::int64_t start_ = 0;
};

}  // namespace tvx

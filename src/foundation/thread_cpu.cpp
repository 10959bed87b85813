#include "foundation/thread_cpu.h"

#include <algorithm>

namespace tvx {

std::int64_t ThreadCpuAccount::TotalMicros() const {
  std::lock_guard lock(mutex_);
  std::int64_t total = endedMicros_;
  // A live thread cannot end meanwhile: its charge waits for this lock to leave.
  for (const ThreadCpuCharge* charge : live_) total += charge->UsedMicros();
  return total;
}

void ThreadCpuAccount::Join(const ThreadCpuCharge* charge) {
  std::lock_guard lock(mutex_);
  live_.push_back(charge);
}

void ThreadCpuAccount::Leave(const ThreadCpuCharge* charge, std::int64_t used) {
  std::lock_guard lock(mutex_);
  live_.erase(std::remove(live_.begin(), live_.end(), charge), live_.end());
  endedMicros_ += used;
}

ThreadCpuCharge::ThreadCpuCharge(ThreadCpuAccount* account) : account_(account) {
  if (account_ == nullptr) return;
  start_ = clock_.Micros();
  account_->Join(this);
}

ThreadCpuCharge::~ThreadCpuCharge() {
  if (account_ != nullptr) account_->Leave(this, UsedMicros());
}

std::int64_t ThreadCpuCharge::UsedMicros() const { return std::max<std::int64_t>(clock_.Micros() - start_, 0); }

}  // namespace tvx

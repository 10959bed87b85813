#include "host/admission_guard.h"

#include <algorithm>

namespace tvx {

bool AdmissionGuard::Forgotten(const Record& record, std::int64_t nowMicros) {
  return record.wrongCodes > 0 && nowMicros >= record.blockedUntil && nowMicros - record.lastWrong > kForgetMicros;
}

AdmissionGuard::Entry AdmissionGuard::Begin(const std::wstring& address, std::int64_t nowMicros) {
  std::lock_guard lock(mutex_);
  if (auto it = records_.find(address); it != records_.end() && nowMicros < it->second.blockedUntil) {
    return {Verdict::Blocked, false};
  }
  if (inProgress_ >= kMaxInProgress) {
    const bool log = !warnedTooMany_ || nowMicros - lastTooManyWarning_ >= 1'000'000;
    if (log) {
      warnedTooMany_ = true;
      lastTooManyWarning_ = nowMicros;
    }
    return {Verdict::TooMany, log};
  }
  ++inProgress_;
  return {Verdict::Admit, false};
}

void AdmissionGuard::End() {
  std::lock_guard lock(mutex_);
  if (inProgress_ > 0) --inProgress_;
}

std::int64_t AdmissionGuard::WrongCode(const std::wstring& address, std::int64_t nowMicros) {
  std::lock_guard lock(mutex_);
  if (records_.size() >= kMaxRecords && records_.find(address) == records_.end()) Prune(nowMicros);
  Record& record = records_[address];
  if (Forgotten(record, nowMicros)) record = Record{};
  ++record.wrongCodes;
  record.lastWrong = nowMicros;
  if (record.wrongCodes <= kFreeWrongCodes) return 0;
  std::int64_t block = kFirstBlockMicros;
  for (std::uint32_t extra = record.wrongCodes - kFreeWrongCodes - 1; extra > 0 && block < kLongestBlockMicros;
       --extra) {
    block *= 2;
  }
  block = std::min(block, kLongestBlockMicros);
  record.blockedUntil = nowMicros + block;
  return block;
}

void AdmissionGuard::CorrectCode(const std::wstring& address) {
  std::lock_guard lock(mutex_);
  records_.erase(address);
}

std::uint32_t AdmissionGuard::inProgress() const {
  std::lock_guard lock(mutex_);
  return inProgress_;
}

void AdmissionGuard::Prune(std::int64_t nowMicros) {
  std::erase_if(records_, [nowMicros](const auto& item) { return Forgotten(item.second, nowMicros); });
  if (records_.size() < kMaxRecords) return;
  // Still full: drop the stalest record that is not blocking anybody, so a scan from many
  // addresses cannot lift a running block.
  auto victim = records_.end();
  for (auto it = records_.begin(); it != records_.end(); ++it) {
    const bool blocking = nowMicros < it->second.blockedUntil;
    if (victim == records_.end()) {
      victim = it;
      continue;
    }
    const bool victimBlocking = nowMicros < victim->second.blockedUntil;
    if ((victimBlocking && !blocking) ||
        (victimBlocking == blocking && it->second.lastWrong < victim->second.lastWrong)) {
      victim = it;
    }
  }
  if (victim != records_.end()) records_.erase(victim);
}

}  // namespace tvx

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
    return {Verdict::TooMany, RateLimitedWarning(lastTooManyWarning_, warnedTooMany_, nowMicros)};
  }
  ++inProgress_;
  return {Verdict::Admit, false};
}

void AdmissionGuard::End() {
  std::lock_guard lock(mutex_);
  if (inProgress_ > 0) --inProgress_;
}

bool AdmissionGuard::RateLimitedWarning(std::int64_t& last, bool& warned, std::int64_t nowMicros) {
  const bool log = !warned || nowMicros - last >= 1'000'000;
  if (log) {
    warned = true;
    last = nowMicros;
  }
  return log;
}

std::wstring AdmissionGuard::SessionKey(std::uint64_t nonce) {
  // Never an address text, so relay sessions and addresses cannot share a record.
  return L"relay session " + std::to_wstring(nonce);
}

AdmissionGuard::Entry AdmissionGuard::CheckRelaySession(std::uint64_t nonce, std::int64_t nowMicros) {
  std::lock_guard lock(mutex_);
  if (auto it = records_.find(SessionKey(nonce)); it != records_.end() && nowMicros < it->second.blockedUntil) {
    return {Verdict::Blocked, false};
  }
  if (relayFullAt_ - nowMicros > static_cast<std::int64_t>(kRelayBudget - 1) * kRelayRefillMicros) {
    return {Verdict::Throttled, RateLimitedWarning(lastThrottledWarning_, warnedThrottled_, nowMicros)};
  }
  return {Verdict::Admit, false};
}

std::int64_t AdmissionGuard::RelayWrongCode(std::uint64_t nonce, std::int64_t nowMicros) {
  std::lock_guard lock(mutex_);
  relayFullAt_ = std::max(relayFullAt_, nowMicros) + kRelayRefillMicros;
  return WrongCodeLocked(SessionKey(nonce), nowMicros);
}

void AdmissionGuard::RelayCorrectCode(std::uint64_t nonce) {
  std::lock_guard lock(mutex_);
  records_.erase(SessionKey(nonce));
}

std::int64_t AdmissionGuard::WrongCode(const std::wstring& address, std::int64_t nowMicros) {
  std::lock_guard lock(mutex_);
  return WrongCodeLocked(address, nowMicros);
}

std::int64_t AdmissionGuard::WrongCodeLocked(const std::wstring& address, std::int64_t nowMicros) {
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

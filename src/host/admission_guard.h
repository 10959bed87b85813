// Protects admission from floods and from guessing the access code.
//
// At most 64 connections are admitted at once; a further one is closed at once. After 5 wrong
// codes from one address that address is blocked for 10 s, doubling with each further wrong code
// up to 10 minutes; a blocked address's connections are closed before anything is read. A correct
// code clears the address's record.
//
// Through a relay every viewer arrives from the relay's one address, and everything else it sends
// (its session nonce, the relay's ticket) it chooses itself. So there wrong codes are counted per
// viewer session (the nonce of its HELLO) under the same rule, which keeps one viewer's typing
// mistakes from locking out the others, and all relay viewers together share one budget of code
// checks: 10 wrong codes at once, then one more every 6 s. That keeps guessing hopeless (a six-
// character code of 32 letters takes about a century at 10 a minute) while a guesser only makes
// relay viewers wait seconds, not minutes.
// Thread-safe; the clock is passed in so tests can drive it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tvx {

class AdmissionGuard {
 public:
  static constexpr std::uint32_t kMaxInProgress = 64;
  static constexpr std::uint32_t kFreeWrongCodes = 4;  // the fifth wrong code blocks
  static constexpr std::int64_t kFirstBlockMicros = 10'000'000;
  static constexpr std::int64_t kLongestBlockMicros = 600'000'000;
  // A record is forgotten this long after its last wrong code, once no block is running.
  static constexpr std::int64_t kForgetMicros = 600'000'000;
  // Bounds the memory a scan from many addresses can take.
  static constexpr std::size_t kMaxRecords = 4096;
  static constexpr std::uint32_t kRelayBudget = 10;
  static constexpr std::int64_t kRelayRefillMicros = 6'000'000;

  // Throttled: the relay's budget of code checks is spent for now.
  enum class Verdict { Admit, TooMany, Blocked, Throttled };

  struct Entry {
    Verdict verdict;
    bool logWarning;  // TooMany and Throttled: true at most once per second
  };

  // On Admit the caller must call End() when the admission is over.
  Entry Begin(const std::wstring& address, std::int64_t nowMicros);
  void End();

  // Returns the length of the block that starts now, or 0 when none starts.
  std::int64_t WrongCode(const std::wstring& address, std::int64_t nowMicros);
  void CorrectCode(const std::wstring& address);

  // A relay viewer's code is about to be checked: Admit, Blocked (this session guessed too often)
  // or Throttled. Nothing needs ending afterwards.
  Entry CheckRelaySession(std::uint64_t nonce, std::int64_t nowMicros);
  // As WrongCode and CorrectCode, for a relay viewer's session; a wrong one also spends the budget.
  std::int64_t RelayWrongCode(std::uint64_t nonce, std::int64_t nowMicros);
  void RelayCorrectCode(std::uint64_t nonce);

  std::uint32_t inProgress() const;

 private:
  struct Record {
    std::uint32_t wrongCodes = 0;
    std::int64_t lastWrong = 0;
    std::int64_t blockedUntil = 0;
  };

  static bool Forgotten(const Record& record, std::int64_t nowMicros);
  static std::wstring SessionKey(std::uint64_t nonce);
  std::int64_t WrongCodeLocked(const std::wstring& key, std::int64_t nowMicros);
  bool RateLimitedWarning(std::int64_t& last, bool& warned, std::int64_t nowMicros);
  void Prune(std::int64_t nowMicros);

  mutable std::mutex mutex_;
  std::uint32_t inProgress_ = 0;
  std::int64_t lastTooManyWarning_ = 0;
  bool warnedTooMany_ = false;
  std::unordered_map<std::wstring, Record> records_;
  // The relay budget as the time it is whole again (a virtual clock: each wrong code moves it
  // on by one refill); checks may go on while it lies less than the whole budget ahead.
  std::int64_t relayFullAt_ = 0;
  std::int64_t lastThrottledWarning_ = 0;
  bool warnedThrottled_ = false;
};

}  // namespace tvx

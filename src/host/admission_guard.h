// Protects admission from floods and from guessing the access code.
//
// At most 64 connections are admitted at once; a further one is closed at once. After 5 wrong
// codes from one address that address is blocked for 10 s, doubling with each further wrong code
// up to 10 minutes; a blocked address's connections are closed before anything is read. A correct
// code clears the address's record. Every connection through a relay counts as the address "relay".
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

  enum class Verdict { Admit, TooMany, Blocked };

  struct Entry {
    Verdict verdict;
    bool logWarning;  // TooMany: true at most once per second
  };

  // On Admit the caller must call End() when the admission is over.
  Entry Begin(const std::wstring& address, std::int64_t nowMicros);
  void End();

  // Returns the length of the block that starts now, or 0 when none starts.
  std::int64_t WrongCode(const std::wstring& address, std::int64_t nowMicros);
  void CorrectCode(const std::wstring& address);

  std::uint32_t inProgress() const;

 private:
  struct Record {
    std::uint32_t wrongCodes = 0;
    std::int64_t lastWrong = 0;
    std::int64_t blockedUntil = 0;
  };

  static bool Forgotten(const Record& record, std::int64_t nowMicros);
  void Prune(std::int64_t nowMicros);

  mutable std::mutex mutex_;
  std::uint32_t inProgress_ = 0;
  std::int64_t lastTooManyWarning_ = 0;
  bool warnedTooMany_ = false;
  std::unordered_map<std::wstring, Record> records_;
};

}  // namespace tvx

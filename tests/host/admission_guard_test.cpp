#include "host/admission_guard.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

constexpr std::int64_t kSecond = 1'000'000;
using Verdict = AdmissionGuard::Verdict;

TEST(AdmissionGuard, AtMost64InProgressAndWarnsOncePerSecond) {
  AdmissionGuard guard;
  for (std::uint32_t i = 0; i < AdmissionGuard::kMaxInProgress; ++i) {
    ASSERT_EQ(guard.Begin(L"10.0.0.1", 0).verdict, Verdict::Admit);
  }
  auto e = guard.Begin(L"10.0.0.2", 0);
  EXPECT_EQ(e.verdict, Verdict::TooMany);
  EXPECT_TRUE(e.logWarning);
  EXPECT_FALSE(guard.Begin(L"10.0.0.2", kSecond / 2).logWarning);
  EXPECT_TRUE(guard.Begin(L"10.0.0.2", kSecond).logWarning);
  guard.End();
  EXPECT_EQ(guard.Begin(L"10.0.0.2", kSecond).verdict, Verdict::Admit);
  EXPECT_EQ(guard.inProgress(), 64u);
}

TEST(AdmissionGuard, BlocksAfterFiveWrongCodesAndDoublesUpToTenMinutes) {
  AdmissionGuard guard;
  std::int64_t now = 0;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(guard.WrongCode(L"a", now), 0);
  EXPECT_EQ(guard.Begin(L"a", now).verdict, Verdict::Admit);
  guard.End();

  const std::int64_t expected[] = {10, 20, 40, 80, 160, 320, 600, 600};
  for (std::int64_t seconds : expected) {
    const std::int64_t block = guard.WrongCode(L"a", now);
    EXPECT_EQ(block, seconds * kSecond);
    EXPECT_EQ(guard.Begin(L"a", now + block - 1).verdict, Verdict::Blocked);
    // Other addresses are never held up.
    const auto other = guard.Begin(L"b", now);
    EXPECT_EQ(other.verdict, Verdict::Admit);
    guard.End();
    now += block;
    ASSERT_EQ(guard.Begin(L"a", now).verdict, Verdict::Admit);
    guard.End();
  }
}

TEST(AdmissionGuard, CorrectCodeClearsTheRecord) {
  AdmissionGuard guard;
  for (int i = 0; i < 4; ++i) guard.WrongCode(L"10.0.0.9", 0);
  guard.CorrectCode(L"10.0.0.9");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(guard.WrongCode(L"10.0.0.9", 0), 0);
  EXPECT_EQ(guard.WrongCode(L"10.0.0.9", 0), 10 * kSecond);
}

TEST(AdmissionGuard, RelayMistakesBlockOnlyTheirSessionAndRelayConnectionsStillArrive) {
  AdmissionGuard guard;
  std::int64_t now = 0;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(guard.RelayWrongCode(7, now), 0);
  EXPECT_EQ(guard.RelayWrongCode(7, now), 10 * kSecond);
  EXPECT_EQ(guard.CheckRelaySession(7, now).verdict, Verdict::Blocked);
  // Another viewer through the same relay, and the relay's connections as such, go on.
  EXPECT_EQ(guard.CheckRelaySession(8, now).verdict, Verdict::Admit);
  const auto entry = guard.Begin(L"relay", now);
  EXPECT_EQ(entry.verdict, Verdict::Admit);
  guard.End();
  now += 10 * kSecond;
  EXPECT_EQ(guard.CheckRelaySession(7, now).verdict, Verdict::Admit);
  guard.RelayCorrectCode(7);
  EXPECT_EQ(guard.RelayWrongCode(7, now), 0);
}

TEST(AdmissionGuard, RelayGuessersWithFreshSessionsSpendOneSharedBudget) {
  AdmissionGuard guard;
  std::int64_t now = 100 * kSecond;
  std::uint64_t nonce = 1000;
  // A burst of the whole budget, each from a fresh session so no session is ever blocked.
  for (std::uint32_t i = 0; i < AdmissionGuard::kRelayBudget; ++i) {
    ASSERT_EQ(guard.CheckRelaySession(nonce, now).verdict, Verdict::Admit) << i;
    EXPECT_EQ(guard.RelayWrongCode(nonce++, now), 0);
  }
  auto entry = guard.CheckRelaySession(nonce, now);
  EXPECT_EQ(entry.verdict, Verdict::Throttled);
  EXPECT_TRUE(entry.logWarning);
  EXPECT_FALSE(guard.CheckRelaySession(nonce, now + kSecond / 2).logWarning);
  // Then one check per refill, however many sessions ask.
  const std::int64_t refill = AdmissionGuard::kRelayRefillMicros;
  EXPECT_EQ(guard.CheckRelaySession(nonce, now + refill - 1).verdict, Verdict::Throttled);
  now += refill;
  int checked = 0;
  for (int minute = 0; minute < 10; ++minute) {
    for (std::int64_t t = 0; t < 60 * kSecond; t += kSecond / 4) {
      if (guard.CheckRelaySession(nonce, now + t).verdict != Verdict::Admit) continue;
      ++checked;
      guard.RelayWrongCode(nonce++, now + t);
    }
    now += 60 * kSecond;
  }
  EXPECT_LE(checked, 101);  // 10 a minute
  EXPECT_GE(checked, 99);
  // Direct connections are not held up by any of it.
  EXPECT_EQ(guard.Begin(L"10.0.0.1", now).verdict, Verdict::Admit);
  guard.End();
  // A quiet minute fills the budget again.
  now += 60 * kSecond;
  for (std::uint32_t i = 0; i < AdmissionGuard::kRelayBudget; ++i) {
    ASSERT_EQ(guard.CheckRelaySession(nonce, now).verdict, Verdict::Admit) << i;
    guard.RelayWrongCode(nonce++, now);
  }
  EXPECT_EQ(guard.CheckRelaySession(nonce, now).verdict, Verdict::Throttled);
}

TEST(AdmissionGuard, OldMistakesAreForgotten) {
  AdmissionGuard guard;
  for (int i = 0; i < 4; ++i) guard.WrongCode(L"a", 0);
  const std::int64_t later = AdmissionGuard::kForgetMicros + kSecond;
  EXPECT_EQ(guard.WrongCode(L"a", later), 0);  // counts as the first again
}

TEST(AdmissionGuard, ManyAddressesKeepMemoryBoundedAndBlocksLive) {
  AdmissionGuard guard;
  for (int i = 0; i < 5; ++i) guard.WrongCode(L"attacker", 0);
  for (std::size_t i = 0; i < AdmissionGuard::kMaxRecords + 100; ++i) {
    guard.WrongCode(L"scan-" + std::to_wstring(i), static_cast<std::int64_t>(i));
  }
  EXPECT_EQ(guard.Begin(L"attacker", kSecond).verdict, Verdict::Blocked);
}

}  // namespace
}  // namespace tvx

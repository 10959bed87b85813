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
  for (int i = 0; i < 4; ++i) guard.WrongCode(L"relay", 0);
  guard.CorrectCode(L"relay");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(guard.WrongCode(L"relay", 0), 0);
  EXPECT_EQ(guard.WrongCode(L"relay", 0), 10 * kSecond);
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

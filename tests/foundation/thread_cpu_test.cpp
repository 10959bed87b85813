#include "foundation/thread_cpu.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/clock.h"

namespace tvx {
namespace {

constexpr std::int64_t kBurnMicros = 30000;

// Keeps the processor busy until the calling thread has used `micros` more CPU time (or ten
// seconds of wall time passed, so a clock that never moves fails the test instead of hanging it).
std::int64_t Burn(std::int64_t micros) {
  const std::int64_t start = ThreadCpuMicros();
  const std::int64_t wallLimit = NowMicros() + 10000000;
  volatile std::uint64_t sink = 1;
  while (ThreadCpuMicros() - start < micros && NowMicros() < wallLimit) {
    for (int i = 0; i < 10000; ++i) sink = sink * 6364136223846793005ull + 1;
  }
  return ThreadCpuMicros() - start;
}

// A thread that burns CPU under a charge, then waits to be let go, so the test can read the
// account while it is alive and after it ended.
class ChargedWorker {
 public:
  explicit ChargedWorker(ThreadCpuAccount* account, std::int64_t burn = kBurnMicros) {
    thread_ = std::thread([this, account, burn] {
      ThreadCpuCharge charge(account);
      const std::int64_t used = Burn(burn);
      std::unique_lock lock(mutex_);
      burned_ = used;
      changed_.notify_all();
      changed_.wait(lock, [this] { return released_; });
    });
  }
  ~ChargedWorker() { Finish(); }

  std::int64_t WaitBurned() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return burned_ >= 0; });
    return burned_;
  }
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t burned_ = -1;
  bool released_ = false;
  std::thread thread_;
};

TEST(ThreadCpu, ClockOfTheCallingThreadAdvancesWithWork) {
  EXPECT_GE(Burn(kBurnMicros), kBurnMicros);
  ThreadCpuClock clock;
  const std::int64_t before = clock.Micros();
  Burn(kBurnMicros);
  EXPECT_GE(clock.Micros() - before, kBurnMicros);
}

TEST(ThreadCpuAccount, CountsLiveAndEndedThreadsButNotOthers) {
  ThreadCpuAccount account;
  EXPECT_EQ(account.TotalMicros(), 0);

  ChargedWorker worker(&account);
  const std::int64_t burned = worker.WaitBurned();
  ASSERT_GE(burned, kBurnMicros);
  // Read from this thread while the worker still lives.
  EXPECT_GE(account.TotalMicros(), kBurnMicros);

  worker.Finish();
  const std::int64_t ended = account.TotalMicros();
  EXPECT_GE(ended, kBurnMicros);
  // This thread's own work is not the account's.
  Burn(kBurnMicros);
  EXPECT_EQ(account.TotalMicros(), ended);
}

TEST(ThreadCpuAccount, SumsSeveralThreadsAndIgnoresUnchargedOnes) {
  ThreadCpuAccount account;
  {
    ChargedWorker first(&account);
    ChargedWorker second(&account);
    ChargedWorker uncharged(nullptr, 5 * kBurnMicros);
    first.WaitBurned();
    second.WaitBurned();
    uncharged.WaitBurned();
  }
  const std::int64_t total = account.TotalMicros();
  EXPECT_GE(total, 2 * kBurnMicros);
  // The uncharged thread burned more than both together: none of that is in the total.
  EXPECT_LT(total, 4 * kBurnMicros);
}

}  // namespace
}  // namespace tvx

// The relay against the process's descriptor limit (RLIMIT_NOFILE), which only POSIX has.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "relay_connection_limit.h"
#include "relay_descriptor_limit.h"
#include "relay_server_fixture.h"

namespace tvx::relay {
namespace {

// Sets the soft descriptor limit for as long as it lives.
class SoftDescriptorLimit {
 public:
  explicit SoftDescriptorLimit(rlim_t soft) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = soft;
    ok_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
  }
  ~SoftDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
  bool ok() const { return ok_; }
  rlim_t hard() const { return saved_.rlim_max; }

 private:
  rlimit saved_{};
  bool ok_ = false;
};

class RelayDescriptorLimitTest : public RelayServerTest {
 protected:
  void SetUp() override {}  // each test starts the relay under its own limit
};

TEST_F(RelayDescriptorLimitTest, ConnectionLimitIsLoweredToWhatTheProcessMayHold) {
  SoftDescriptorLimit limit(200);
  ASSERT_TRUE(limit.ok());
  RelayOptions options = TestOptions();
  options.maxConnections = 20000;
  StartRelay(options);
  EXPECT_EQ(server_->maxConnections(), EffectiveConnectionLimit(20000, 200));
  EXPECT_TRUE(log_.Contains(L"Connection limit lowered to 168: the process may hold 200 descriptors"));
  // The relay still works under it.
  EXPECT_EQ(Status().hostsSharing, 0u);
}

TEST_F(RelayDescriptorLimitTest, LimitThatFitsIsKept) {
  SoftDescriptorLimit limit(4096);
  ASSERT_TRUE(limit.ok());
  RelayOptions options = TestOptions();
  options.maxConnections = 1000;
  StartRelay(options);
  EXPECT_EQ(server_->maxConnections(), 1000u);
  EXPECT_FALSE(log_.Contains(L"Connection limit lowered"));
}

TEST_F(RelayDescriptorLimitTest, RaisingTakesTheSoftLimitUpToTheHardOne) {
  SoftDescriptorLimit limit(200);
  ASSERT_TRUE(limit.ok());
  const std::size_t raised = RaiseDescriptorLimit();
  EXPECT_EQ(raised, DescriptorLimit());
  if (limit.hard() != RLIM_INFINITY) {
    EXPECT_EQ(raised, static_cast<std::size_t>(limit.hard()));
  }
  EXPECT_GT(raised, 200u);
}

}  // namespace
}  // namespace tvx::relay

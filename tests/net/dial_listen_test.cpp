#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/format.h"
#include "foundation/text.h"
#include "loopback.h"
#include "net/name_resolver.h"
#include "support/fake_resolvers.h"
#include "support/silent_listener.h"
#include "net/dial.h"
#include "net/listener.h"

namespace tvx {
namespace {

using testing::ListenLoopback;
using testing::SilentListener;
using namespace std::chrono_literals;

constexpr auto kHangGuard = 10s;

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

// A loopback port where nothing listens: bound once to learn a free port, then closed.
std::uint16_t UnusedLoopbackPort() {
  Listener probe;
  EXPECT_TRUE(ListenLoopback(probe, false));
  const std::uint16_t port = probe.Port();
  probe.Close();
  return port;
}

TEST(DialTest, ConnectsToLoopbackListenersOfBothFamilies) {
  std::vector<bool> families{false};
  if (testing::HaveIpv6Loopback()) families.push_back(true);
  for (bool ipv6 : families) {
    SCOPED_TRACE(ipv6 ? "::1" : "127.0.0.1");
    Listener listener;
    ASSERT_TRUE(ListenLoopback(listener, ipv6));
    Connection connection;
    std::wstring error = L"stale";
    ASSERT_TRUE(Dial(connection, ipv6 ? L"::1" : L"127.0.0.1", listener.Port(), 5000, error));
    EXPECT_TRUE(error.empty());
    EXPECT_TRUE(connection.IsOpen());
    EXPECT_FALSE(connection.IsClosing());
  }
}

TEST(DialTest, FailuresLeaveNoSocketAndSayWhy) {
  // A 64-character label is refused by the resolver itself, so no query leaves the computer.
  const std::wstring unresolvable = std::wstring(64, L'a') + L".invalid";
  struct Case {
    std::wstring host;
    std::uint16_t port;
    std::wstring expectedStart;
  };
  const Case cases[] = {
      {unresolvable, 7788, FormatText(L"Cannot reach '%s': ", unresolvable)},
      {L"127.0.0.1", UnusedLoopbackPort(), L"Refused: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.host));
    Connection connection;
    std::wstring error;
    EXPECT_FALSE(Dial(connection, c.host, c.port, 3000, error));
    EXPECT_TRUE(StartsWith(error, c.expectedStart)) << WideToUtf8(error);
    // The code text follows: "%d 0x%08X (%s)".
    EXPECT_GT(error.size(), c.expectedStart.size() + 12) << WideToUtf8(error);
    EXPECT_FALSE(connection.IsOpen());
  }
}

TEST(DialTest, SilentHostTimesOutAfterTheTimeoutNotEarlier) {
  SilentListener silent;
  if (!silent.full()) GTEST_SKIP() << "this system answers connects beyond a full backlog";
  Connection connection;
  std::wstring error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Dial(connection, L"127.0.0.1", silent.port(), 600, error));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 600ms);
  EXPECT_EQ(error, L"Connection timed out. Is the other side sharing yet?");
  EXPECT_FALSE(connection.IsOpen());
}

TEST(DialTest, CancelEndsAWaitingDial) {
  SilentListener silent;
  if (!silent.full()) GTEST_SKIP() << "this system answers connects beyond a full backlog";
  enum class Cancel { kClosingFlag, kClose };
  for (Cancel cancel : {Cancel::kClosingFlag, Cancel::kClose}) {
    SCOPED_TRACE(cancel == Cancel::kClose ? "close" : "closing flag");
    auto connection = std::make_shared<Connection>();
    std::wstring error;
    auto dial = std::async(std::launch::async,
                           [&] { return Dial(*connection, L"127.0.0.1", silent.port(), 60000, error); });
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(dial.wait_for(0ms), std::future_status::timeout) << WideToUtf8(error);
    const auto start = std::chrono::steady_clock::now();
    if (cancel == Cancel::kClosingFlag) {
      connection->SetClosing(true);
    } else {
      connection->Close();
    }
    ASSERT_EQ(dial.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_FALSE(dial.get());
    EXPECT_EQ(error, L"Cancelled.");
    EXPECT_FALSE(connection->IsOpen());
    // Reported, not asserted: the wait slices make this about 100 ms.
    std::printf("cancel took %lld ms\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - start)
                                             .count()));
  }
}

// An owner that stops before its worker has even begun to dial must not lose the stop: a dial that
// cleared the flag itself would then run its whole time-out, or connect.
TEST(DialTest, ACancelThatComesBeforeTheDialIsKept) {
  Listener listener;
  ASSERT_TRUE(ListenLoopback(listener, false));
  Connection connection;
  connection.Shutdown();
  std::wstring error;
  EXPECT_FALSE(Dial(connection, L"127.0.0.1", listener.Port(), 3000, error));
  EXPECT_EQ(error, L"Cancelled.");
  EXPECT_FALSE(connection.IsOpen());
  // The owner clears the flag when it means to dial again.
  connection.SetClosing(false);
  EXPECT_TRUE(Dial(connection, L"127.0.0.1", listener.Port(), 3000, error)) << WideToUtf8(error);
}

// A name server that never answers holds up neither a cancel nor the time-out; the dial lets go of
// the lookup, which costs nothing more.
TEST(DialTest, AResolverThatNeverAnswersHoldsNothingUp) {
  enum class End { kCancel, kTimeout };
  for (End end : {End::kCancel, End::kTimeout}) {
    SCOPED_TRACE(end == End::kCancel ? "cancel" : "time-out");
    testing::SilentResolver resolver;
    auto connection = std::make_shared<Connection>();
    std::wstring error;
    const std::uint32_t timeoutMs = end == End::kCancel ? 60000 : 400;
    const auto start = std::chrono::steady_clock::now();
    auto dial = std::async(std::launch::async, [&] {
      return Dial(*connection, L"relay.example", 7788, timeoutMs, error, resolver);
    });
    if (end == End::kCancel) {
      std::this_thread::sleep_for(300ms);
      ASSERT_EQ(dial.wait_for(0ms), std::future_status::timeout);
      connection->Shutdown();
    }
    ASSERT_EQ(dial.wait_for(kHangGuard), std::future_status::ready);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(dial.get());
    if (end == End::kCancel) {
      EXPECT_EQ(error, L"Cancelled.");
      EXPECT_LT(took, 1300ms);
    } else {
      EXPECT_EQ(error, FormatText(L"Cannot reach '%s': %s", L"relay.example",
                                  sock::ResolverErrorText(sock::ResolverTryAgainError())));
      EXPECT_GE(took, 400ms);
    }
    EXPECT_FALSE(connection->IsOpen());
    EXPECT_EQ(resolver.Started(), 1u);
    EXPECT_EQ(resolver.Abandoned(), 1u);
  }
}

TEST(DialTest, WaitsForASlowResolverAndConnects) {
  Listener listener;
  ASSERT_TRUE(ListenLoopback(listener, false));
  testing::SlowLoopbackResolver resolver(250ms);
  Connection connection;
  std::wstring error;
  EXPECT_TRUE(Dial(connection, L"host.example", listener.Port(), 3000, error, resolver)) << WideToUtf8(error);
  EXPECT_TRUE(connection.IsOpen());
}

// A blocking lookup that returns only once the test opens the gate.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      open = true;
    }
    opened.notify_all();
  }
};

TEST(NameResolverTest, NumbersAnswerAtOnceAndStuckLookupsAreBounded) {
  auto gate = std::make_shared<Gate>();
  ThreadedNameResolver resolver(
      [gate](const std::wstring&, std::uint16_t port, std::vector<sock::ResolvedAddress>& out) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        return sock::Resolve(L"127.0.0.1", port, true, out);
      },
      3);
  std::vector<std::shared_ptr<NameLookup>> stuck;
  for (int i = 0; i < 3; ++i) stuck.push_back(resolver.Start(L"stuck.example", 7788));
  for (const auto& lookup : stuck) EXPECT_FALSE(lookup->WaitFor(50));

  // Beyond the bound a name is refused at once, as a temporary failure; numbers need no worker.
  const auto refused = resolver.Start(L"one-more.example", 7788);
  ASSERT_TRUE(refused->WaitFor(0));
  EXPECT_EQ(refused->error(), sock::ResolverTryAgainError());
  for (const wchar_t* numeric : {L"127.0.0.1", L"::1"}) {
    const auto lookup = resolver.Start(numeric, 7788);
    ASSERT_TRUE(lookup->WaitFor(0)) << WideToUtf8(numeric);
    EXPECT_EQ(lookup->error(), 0);
    EXPECT_FALSE(lookup->addresses().empty());
  }

  gate->Open();
  for (const auto& lookup : stuck) {
    ASSERT_TRUE(lookup->WaitFor(10000));
    EXPECT_EQ(lookup->error(), 0);
    EXPECT_EQ(lookup->addresses().size(), 1u);
  }
  // Once the workers have returned, names are looked up again.
  const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
  std::shared_ptr<NameLookup> next;
  do {
    next = resolver.Start(L"later.example", 7788);
    ASSERT_TRUE(next->WaitFor(10000));
  } while (next->error() != 0 && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(next->error(), 0);
}

TEST(ListenTest, AcceptsOnLoopbackAndShowsPeersPlainly) {
  Listener ipv4;
  std::wstring error;
  ASSERT_TRUE(Listen(ipv4, 0, error, ListenScope::kLoopback)) << WideToUtf8(error);
  EXPECT_TRUE(error.empty());
  ASSERT_NE(ipv4.Port(), 0);
  Listener ipv6;
  std::vector<std::pair<Listener*, std::wstring>> peers{{&ipv4, L"127.0.0.1"}};
  if (testing::HaveIpv6Loopback() && ListenLoopback(ipv6, true)) peers.push_back({&ipv6, L"::1"});
  for (const auto& [listener, host] : peers) {
    Connection dialed;
    ASSERT_TRUE(Dial(dialed, host, listener->Port(), 5000, error)) << WideToUtf8(error);
    sock::Handle accepted = sock::kInvalid;
    std::wstring address;
    ASSERT_EQ(listener->Accept(accepted, address), Listener::AcceptResult::kAccepted);
    Connection connection(accepted);
    EXPECT_EQ(address, host);
    ASSERT_TRUE(dialed.SendFrame(5, 0, "hi", 2));
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(connection.ReceiveFrame(header, payload));
    EXPECT_EQ(header.type, 5);
  }
}

// Stopping a share and starting it again must work at once, while the old share's connections
// still linger on the port; a second listener on the port is still refused.
TEST(ListenTest, APortCanBeListenedOnAgainAtOnceButNeverTwice) {
  Listener first;
  std::wstring error;
  ASSERT_TRUE(Listen(first, 0, error, ListenScope::kLoopback)) << WideToUtf8(error);
  const std::uint16_t port = first.Port();
  {
    Connection viewer;
    ASSERT_TRUE(Dial(viewer, L"127.0.0.1", port, 5000, error)) << WideToUtf8(error);
    sock::Handle socket = sock::kInvalid;
    std::wstring address;
    ASSERT_EQ(first.Accept(socket, address), Listener::AcceptResult::kAccepted);
    Connection host(socket);
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    viewer.SetReceiveTimeout(5000);
    host.SetReceiveTimeout(5000);
    ASSERT_TRUE(host.SendFrame(5, 0, "picture", 7));
    ASSERT_TRUE(viewer.ReceiveFrame(header, payload));
    ASSERT_TRUE(viewer.SendFrame(6, 0, "pointer", 7));
    ASSERT_TRUE(host.ReceiveFrame(header, payload));
    // The host closes first, so its end of the connection waits out TIME_WAIT on the port.
    host.Close();
    EXPECT_FALSE(viewer.ReceiveFrame(header, payload));
  }
  first.Close();

  Listener again;
  EXPECT_TRUE(Listen(again, port, error, ListenScope::kLoopback)) << WideToUtf8(error);
  EXPECT_TRUE(again.IsOpen());
  Listener second;
  EXPECT_FALSE(Listen(second, port, error, ListenScope::kLoopback));
  EXPECT_EQ(error, FormatText(L"Port %u is already in use. Pick a different port.", port));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_TRUE(again.IsOpen());
}

// The host stops its accept loop by shutting the listener down, or closes it before joining.
TEST(ListenTest, StopWakesABlockedAccept) {
  for (bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "shutdown");
    Listener listener;
    ASSERT_TRUE(ListenLoopback(listener, false));
    auto accept = std::async(std::launch::async, [&] {
      sock::Handle socket = sock::kInvalid;
      std::wstring address;
      return listener.Accept(socket, address);
    });
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(accept.wait_for(0ms), std::future_status::timeout);
    if (close) {
      listener.Close();
    } else {
      listener.Shutdown();
    }
    ASSERT_EQ(accept.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_EQ(accept.get(), Listener::AcceptResult::kStopped);
    listener.Close();
    EXPECT_FALSE(listener.IsOpen());
  }
}

TEST(ListenTest, PeerAddressTextKeepsOnlyTheIpv4PartOfMappedAddresses) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"::ffff:192.168.1.20", L"192.168.1.20"},
      {L"::ffff:127.0.0.1", L"127.0.0.1"},
      {L"::1", L"::1"},
      {L"fe80::1", L"fe80::1"},
      {L"10.0.0.7", L"10.0.0.7"},
      {L"", L""},
  };
  for (const auto& [raw, shown] : cases) EXPECT_EQ(PeerAddressText(raw), shown) << WideToUtf8(raw);
}

}  // namespace
}  // namespace tvx

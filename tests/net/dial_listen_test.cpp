#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/format.h"
#include "foundation/text.h"
#include "loopback.h"
#include "net/dial.h"
#include "net/listener.h"

namespace tvx {
namespace {

using testing::ListenLoopback;
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

// A loopback listener that never accepts, with its queue filled, so that a further connect is
// never answered: the stand-in for a host that drops packets, without leaving the computer.
class SilentListener {
 public:
  SilentListener() {
    EXPECT_TRUE(ListenLoopback(listener_, false, 0));
    for (int i = 0; i < 16; ++i) {
      auto c = std::make_shared<Connection>();
      std::wstring error;
      if (!Dial(*c, L"127.0.0.1", listener_.Port(), 300, error)) {
        full_ = error == L"Connection timed out. Is the other side sharing yet?";
        break;
      }
      queued_.push_back(c);
    }
  }
  bool full() const { return full_; }
  std::uint16_t port() const { return listener_.Port(); }

 private:
  Listener listener_;
  std::vector<std::shared_ptr<Connection>> queued_;
  bool full_ = false;
};

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
    connection->SetClosing(true);  // a stale flag from an earlier cancel is cleared by Dial
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

TEST(ListenTest, AcceptsBothFamiliesOnOneSocketAndShowsIpv4Plainly) {
  Listener listener;
  std::wstring error;
  ASSERT_TRUE(Listen(listener, 0, error)) << WideToUtf8(error);
  EXPECT_TRUE(error.empty());
  ASSERT_NE(listener.Port(), 0);
  std::vector<std::pair<std::wstring, std::wstring>> peers{{L"127.0.0.1", L"127.0.0.1"}};
  if (testing::HaveIpv6Loopback()) peers.push_back({L"::1", L"::1"});
  for (const auto& [host, shown] : peers) {
    Connection dialed;
    ASSERT_TRUE(Dial(dialed, host, listener.Port(), 5000, error)) << WideToUtf8(error);
    sock::Handle accepted = sock::kInvalid;
    std::wstring address;
    ASSERT_EQ(listener.Accept(accepted, address), Listener::AcceptResult::kAccepted);
    Connection connection(accepted);
    EXPECT_EQ(address, shown);
    ASSERT_TRUE(dialed.SendFrame(5, 0, "hi", 2));
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(connection.ReceiveFrame(header, payload));
    EXPECT_EQ(header.type, 5);
  }
}

TEST(ListenTest, PortHeldElsewhereIsReportedAsInUse) {
  Listener first;
  std::wstring error;
  ASSERT_TRUE(Listen(first, 0, error)) << WideToUtf8(error);
  Listener second;
  EXPECT_FALSE(Listen(second, first.Port(), error));
  EXPECT_EQ(error, FormatText(L"Port %u is already in use. Pick a different port.", first.Port()));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_TRUE(first.IsOpen());
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

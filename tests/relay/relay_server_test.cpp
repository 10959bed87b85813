// The relay server over real loopback sockets, driven by the program's own connection code.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/thread_cpu.h"
#include "relay_server_fixture.h"

namespace tvx::relay {
namespace {

using namespace std::chrono_literals;

TEST_F(RelayServerTest, ViewerReachesHostThroughTicketAndDialBack) {
  auto host = RegisterHost("123456789");
  auto viewer = Open();
  const Bytes hello = Encode(ViewerHello("123456789", kPointerChannel));
  ASSERT_TRUE(viewer->SendFrame(msg::kHello, 0, hello.data(), static_cast<std::uint32_t>(hello.size())));
  // The pointer channel talks before anybody answers; the relay must keep those bytes.
  const Bytes early = {1, 2, 3};
  ASSERT_TRUE(viewer->SendFrame(msg::kHeartbeat, 0, early.data(), 3));

  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(host->ReceiveFrame(header, payload));
  ASSERT_EQ(header.type, msg::kRelayTicket);
  RelayTicket ticket;
  ASSERT_TRUE(Decode(payload, ticket));

  auto dialBack = Open();
  const Bytes claim = Encode(ticket);
  ASSERT_TRUE(Exchange(*dialBack, msg::kRelayTicketClaim, claim, header, payload));
  Hello passed;
  ASSERT_TRUE(DecodeGreeting(header, payload, passed));
  EXPECT_EQ(passed, ViewerHello("123456789", kPointerChannel));
  ASSERT_TRUE(dialBack->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, msg::kHeartbeat);
  EXPECT_EQ(payload, early);

  // From here on the two connections are one pipe, both ways, for large frames too.
  Bytes big(3 * 1024 * 1024);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  std::thread sender([&] { dialBack->SendFrame(msg::kTileFrame, 1, big.data(), static_cast<std::uint32_t>(big.size())); });
  ASSERT_TRUE(viewer->ReceiveFrame(header, payload));
  sender.join();
  EXPECT_EQ(header.type, msg::kTileFrame);
  EXPECT_EQ(header.flags, 1);
  EXPECT_EQ(payload, big);

  // The ticket is used up.
  auto again = Open();
  EXPECT_FALSE(Exchange(*again, msg::kRelayTicketClaim, claim, header, payload));

  auto probe = Open();
  ASSERT_TRUE(Exchange(*probe, msg::kRelayStatus, {}, header, payload));
  RelayStatus status;
  ASSERT_TRUE(Decode(payload, status));
  EXPECT_EQ(status.hostsSharing, 1u);
  EXPECT_EQ(status.connectionsCarried, 1u);
  EXPECT_FALSE(probe->ReceiveFrame(header, payload));  // closed after the reply

  // Either side closing ends the other.
  viewer->Close();
  EXPECT_FALSE(dialBack->ReceiveFrame(header, payload));
}

TEST_F(RelayServerTest, RegistrationRefusalsCarryTheirReason) {
  auto holder = RegisterHost("555666777");
  struct Case {
    Bytes registration;
    const char* reason;
  };
  RelayRegistration wrongVersion;
  wrongVersion.version = 2;
  wrongVersion.relayId = "123123123";
  const Case cases[] = {
      {Registration("555666777"), "That ID is already in use on this relay."},
      {Registration("12345678"), "An ID is 9 digits."},
      {Encode(wrongVersion), "This relay speaks relay protocol 1."},
      {Bytes(51), "The registration is not 52 bytes long."},
  };
  for (const Case& c : cases) {
    auto host = Open();
    FrameHeader header;
    Bytes payload;
    ASSERT_TRUE(Exchange(*host, msg::kRelayRegistration, c.registration, header, payload));
    EXPECT_EQ(header.type, msg::kRelayRefusal);
    RelayRefusal refusal;
    ASSERT_TRUE(Decode(payload, refusal));
    EXPECT_EQ(refusal.reason, c.reason);
  }
  // Once the holder has gone the ID is free again.
  holder->Close();
  for (int attempt = 0;; ++attempt) {
    auto host = Open();
    FrameHeader header;
    Bytes payload;
    ASSERT_TRUE(Exchange(*host, msg::kRelayRegistration, Registration("555666777"), header, payload));
    if (header.type == msg::kRelayRegistered) break;
    ASSERT_LT(attempt, 50) << "the ID was never freed";
    std::this_thread::sleep_for(20ms);
  }
}

TEST_F(RelayServerTest, UnknownIdIsRefusedAsNotSharing) {
  auto viewer = Open();
  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(Exchange(*viewer, msg::kHello, Encode(ViewerHello("999999999", kPictureChannel)), header, payload));
  EXPECT_EQ(header.type, msg::kRefusal);
  Refusal refusal;
  ASSERT_TRUE(Decode(payload, refusal));
  EXPECT_EQ(refusal.reason, kRefusedNotSharing);
}

TEST_F(RelayServerTest, BadOrSlowFirstFramesAndUnclaimedViewersAreDropped) {
  FrameHeader header;
  Bytes payload;
  // Too large a first frame: dropped before its payload is read.
  auto large = Open();
  EXPECT_FALSE(Exchange(*large, msg::kRelayStatus, Bytes(5000), header, payload));
  // Not a relay message at all.
  auto stray = Open();
  EXPECT_FALSE(Exchange(*stray, msg::kTileFrame, Bytes(8), header, payload));
  // A ticket that was never issued.
  auto claim = Open();
  EXPECT_FALSE(Exchange(*claim, msg::kRelayTicketClaim, Encode(RelayTicket{42}), header, payload));
  // Silence: closed after the first-frame time-out.
  auto silent = Open();
  EXPECT_FALSE(silent->ReceiveFrame(header, payload));

  // A viewer whose host never dials back is let go after the claim time-out.
  auto host = RegisterHost("111222333");
  auto viewer = Open();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Exchange(*viewer, msg::kHello, Encode(ViewerHello("111222333", kPictureChannel)), header, payload));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  ASSERT_TRUE(host->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, msg::kRelayTicket);
}

// A registered host that takes nothing from its control link while viewers keep asking for it: the
// relay holds at most its bound for it, then drops that link alone, with a log line. (A host that
// still takes a trickle never stalls outright: the bound is what catches it.)
TEST_F(RelayServerTest, HostThatNeverReadsIsDroppedWhileOthersGoOn) {
  StopRelay();
  RelayOptions options = TestOptions();
  options.maxQueuedBytes = 2048;
  StartRelay(options);
  auto other = RegisterHost("200000002");
  Session before = OpenSession(*other, "200000002");
  auto deaf = RegisterHost("100000001");  // reads nothing from here on

  // Each viewer costs the deaf host one ticket; the viewers themselves need not stay.
  const wchar_t* const line = L"bytes wait to be sent to it and it does not read";
  const Bytes hello = Encode(ViewerHello("100000001", kPictureChannel));
  int viewers = 0;
  while (!log_.Contains(line) && viewers < 5000) {
    auto viewer = Open();
    ASSERT_TRUE(Send(*viewer, msg::kHello, hello));
    ++viewers;
  }
  ASSERT_TRUE(EventuallyOnRelay([&] { return log_.Contains(line); })) << viewers << " viewers asked for the host";
  EXPECT_TRUE(EventuallyOnRelay([&] { return server_->hostsSharing() == 1; }));
  EXPECT_TRUE(log_.Contains(L"Host 100000001 went away"));

  // For its viewers the dropped host is gone; the other host and its session carry on.
  auto late = Open();
  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(Exchange(*late, msg::kHello, hello, header, payload));
  EXPECT_EQ(header.type, msg::kRefusal);
  const Bytes data(1000, 7);
  ASSERT_TRUE(Send(*before.host, msg::kHeartbeat, data));
  ASSERT_TRUE(before.viewer->ReceiveFrame(header, payload));
  EXPECT_EQ(payload, data);
  Session after = OpenSession(*other, "200000002");
  ASSERT_TRUE(Send(*after.viewer, msg::kHeartbeat, data));
  ASSERT_TRUE(after.host->ReceiveFrame(header, payload));
  EXPECT_EQ(payload, data);
}

// A carried session whose viewer stops reading: the relay stops reading the host instead of
// buffering for it, and lets the pair go once nothing has moved for the stall time.
TEST_F(RelayServerTest, CarriedSessionWhoseViewerStopsReadingIsHeldBackThenDropped) {
  StopRelay();
  RelayOptions options = TestOptions();
  options.writeStallTimeout = 300ms;
  StartRelay(options);
  auto control = RegisterHost("300000003");
  Session other = OpenSession(*control, "300000003");
  Session stuck = OpenSession(*control, "300000003");

  std::atomic<std::uint64_t> sent{0};
  std::thread streamer([&] {
    const Bytes frame(1 << 20, 0x5A);
    while (stuck.host->SendFrame(msg::kTileFrame, 0, frame.data(), static_cast<std::uint32_t>(frame.size()))) {
      sent += frame.size();
    }
  });
  const bool dropped = EventuallyOnRelay([&] { return server_->trackedConnections() == 3; }, 10000ms);
  streamer.join();  // the relay closed the host's side too, or the send timed out
  EXPECT_TRUE(dropped) << OnRelay([&] { return server_->trackedConnections(); }) << " connections left";
  EXPECT_TRUE(log_.Contains(L"it has taken nothing it was sent for"));
  // What the host got off its hands is what the sockets buffer, not what it could send.
  EXPECT_LT(sent.load(), 128u << 20);

  FrameHeader header;
  Bytes payload;
  const Bytes data(1000, 9);
  ASSERT_TRUE(Send(*other.host, msg::kHeartbeat, data));
  ASSERT_TRUE(other.viewer->ReceiveFrame(header, payload));
  EXPECT_EQ(payload, data);
}

// A dial-back that claims its ticket and resets the connection before the relay has passed the
// viewer's greeting on: the relay lets go of both sides.
TEST_F(RelayServerTest, ClaimWhoseGreetingCannotBePassedOnReleasesBothSides) {
  auto control = RegisterHost("400000004");
  auto viewer = Open();
  ASSERT_TRUE(Send(*viewer, msg::kHello, Encode(ViewerHello("400000004", kPictureChannel))));
  FrameHeader header;
  Bytes payload;
  RelayTicket ticket;
  ASSERT_TRUE(control->ReceiveFrame(header, payload));
  ASSERT_TRUE(Decode(payload, ticket));

  asio::io_context client;
  asio::ip::tcp::socket dialBack(client);
  dialBack.connect({asio::ip::make_address("127.0.0.1"), server_->port()});
  ASSERT_TRUE(EventuallyOnRelay([&] { return server_->trackedConnections() == 3; }));

  // Hold the relay's thread while the claim and the reset arrive, so that it reads the claim from
  // a connection that is already gone.
  std::promise<void> held, release;
  std::shared_future<void> released = release.get_future().share();
  asio::post(*io_, [&held, released] {
    held.set_value();
    released.wait();
  });
  held.get_future().wait();
  const Bytes claim = Encode(ticket);
  Bytes frame(kFrameHeaderSize);
  WriteFrameHeader(FrameHeader{kFrameMagic, msg::kRelayTicketClaim, 0, static_cast<std::uint32_t>(claim.size())},
                   frame.data());
  frame.insert(frame.end(), claim.begin(), claim.end());
  asio::write(dialBack, asio::buffer(frame));
  dialBack.set_option(asio::socket_base::linger(true, 0));
  dialBack.close();
  release.set_value();

  EXPECT_TRUE(EventuallyOnRelay([&] { return server_->trackedConnections() == 1; }))
      << "the control link alone should be left, not " << OnRelay([&] { return server_->trackedConnections(); });
  EXPECT_TRUE(log_.Contains(L"could not be passed on"));
  EXPECT_FALSE(viewer->ReceiveFrame(header, payload));
}

// While accepting fails as it does for a process out of descriptors, the relay pauses between
// tries instead of spinning, serves the connections it has, and takes the waiting one once
// accepting works again.
TEST_F(RelayServerTest, FailingAcceptsArePacedWhileOpenConnectionsAreServed) {
  std::atomic<bool> failing{false};
  std::atomic<int> attempts{0};
  StopRelay();
  RelayOptions options = TestOptions();
  options.firstFrameTimeout = 10000ms;  // the viewer below greets only after the failing second
  options.acceptGate = [&]() -> asio::error_code {
    if (!failing) return {};
    ++attempts;
    return asio::error::no_descriptors;
  };
  StartRelay(options);
  auto host = RegisterHost("123456789");
  auto viewer = Open();  // accepted now, greets later
  ASSERT_TRUE(EventuallyOnRelay([&] { return server_->trackedConnections() == 2; }));

  failing = true;
  auto waiting = Open();  // queued at the listener
  const std::int64_t cpuBefore = OnRelay([] { return ThreadCpuMicros(); });
  std::this_thread::sleep_for(1000ms);
  const std::int64_t cpuMicros = OnRelay([] { return ThreadCpuMicros(); }) - cpuBefore;
  // 100, 200, 400 ms apart: a handful of tries in that second, not a spinning loop.
  EXPECT_GE(attempts.load(), 2);
  EXPECT_LE(attempts.load(), 6);
  EXPECT_LT(cpuMicros, 200000);
  const std::size_t lines = log_.Count(L"Cannot accept connections: ");
  EXPECT_GE(lines, 1u);
  EXPECT_LE(lines, 2u);

  ASSERT_TRUE(Send(*viewer, msg::kHello, Encode(ViewerHello("123456789", kPictureChannel))));
  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(host->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, msg::kRelayTicket);

  failing = false;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Exchange(*waiting, msg::kRelayStatus, {}, header, payload));
  EXPECT_EQ(header.type, msg::kRelayStatus);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

}  // namespace
}  // namespace tvx::relay

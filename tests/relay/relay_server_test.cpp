// The relay server over real loopback sockets, driven by the program's own connection code.
#include "relay_server.h"

#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/text.h"
#include "net/connection.h"
#include "net/dial.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"

namespace tvx::relay {
namespace {

using namespace std::chrono_literals;

class RelayServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RelayOptions options;
    options.bind = "127.0.0.1";
    options.port = 0;
    options.firstFrameTimeout = 400ms;
    options.claimTimeout = 400ms;
    server_ = std::make_unique<RelayServer>(io_, options);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    thread_ = std::thread([this] { io_.run(); });
  }

  void TearDown() override {
    asio::post(io_, [this] { server_->Stop(); });
    thread_.join();  // returns only once every connection has wound down
    server_.reset();
  }

  std::unique_ptr<Connection> Open() {
    auto connection = std::make_unique<Connection>();
    std::wstring error;
    EXPECT_TRUE(Dial(*connection, L"127.0.0.1", server_->port(), 2000, error)) << WideToUtf8(error);
    connection->SetReceiveTimeout(3000);
    return connection;
  }

  static Bytes Registration(const std::string& id) {
    RelayRegistration registration;
    registration.relayId = id;
    registration.computerName = "DESK";
    return Encode(registration);
  }

  static Hello ViewerHello(const std::string& relayId, std::uint8_t channel) {
    Hello hello;
    hello.channel = channel;
    hello.nonce = 0x1122334455667788;
    hello.code = "ABC123";
    hello.name = "Ann";
    hello.relayId = relayId;
    return hello;
  }

  // Sends a frame and returns the answer's type and payload; false when the relay closed instead.
  static bool Exchange(Connection& c, std::uint16_t type, const Bytes& payload, FrameHeader& header, Bytes& answer) {
    EXPECT_TRUE(c.SendFrame(type, 0, payload.data(), static_cast<std::uint32_t>(payload.size())));
    return c.ReceiveFrame(header, answer);
  }

  std::unique_ptr<Connection> RegisterHost(const std::string& id) {
    auto host = Open();
    FrameHeader header;
    Bytes answer;
    EXPECT_TRUE(Exchange(*host, msg::kRelayRegistration, Registration(id), header, answer));
    EXPECT_EQ(header.type, msg::kRelayRegistered);
    return host;
  }

  asio::io_context io_{1};
  std::unique_ptr<RelayServer> server_;
  std::thread thread_;
};

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

}  // namespace
}  // namespace tvx::relay

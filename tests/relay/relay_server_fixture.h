// A relay server on its own thread on a loopback port, and the client side of the relay protocol
// spoken with the program's own connection code.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/text.h"
#include "net/connection.h"
#include "net/dial.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"
#include "relay_server.h"
#include "support/log_capture.h"

namespace tvx::relay {

class RelayServerTest : public ::testing::Test {
 protected:
  static RelayOptions TestOptions() {
    using namespace std::chrono_literals;
    RelayOptions options;
    options.bind = "127.0.0.1";
    options.port = 0;
    options.firstFrameTimeout = 400ms;
    options.claimTimeout = 400ms;
    return options;
  }

  void SetUp() override { StartRelay(TestOptions()); }
  void TearDown() override {
    StopRelay();
    // The relay's log tells what went wrong; on Windows it goes nowhere else a test run shows.
    if (HasFailure()) {
      for (const auto& entry : log_.Entries()) std::printf("  relay log: %s\n", WideToUtf8(entry.message).c_str());
    }
  }

  void StartRelay(const RelayOptions& options) {
    io_ = std::make_unique<asio::io_context>(1);
    server_ = std::make_unique<RelayServer>(*io_, options);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    thread_ = std::thread([this] { io_->run(); });
  }

  void StopRelay() {
    if (!server_) return;
    asio::post(*io_, [this] { server_->Stop(); });
    if (thread_.joinable()) thread_.join();  // returns only once every connection has wound down
    server_.reset();
    io_.reset();
  }

  // Runs `work` on the relay's thread, between its events, and returns its result.
  template <class Work>
  auto OnRelay(Work work) -> decltype(work()) {
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    asio::post(*io_, [&task] { task(); });
    return result.get();
  }

  // Waits up to `limit` for `condition`, checked on the relay's thread.
  bool EventuallyOnRelay(const std::function<bool()>& condition,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (OnRelay([&] { return condition(); })) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::unique_ptr<Connection> Open() {
    auto connection = std::make_unique<Connection>();
    std::wstring error;
    EXPECT_TRUE(Dial(*connection, L"127.0.0.1", server_->port(), 2000, error)) << WideToUtf8(error);
    connection->SetReceiveTimeout(3000);
    connection->SetSendTimeout(3000);
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

  static bool Send(Connection& c, std::uint16_t type, const Bytes& payload) {
    return c.SendFrame(type, 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
  }

  // Sends a frame and returns the answer's type and payload; false when the relay closed instead.
  static bool Exchange(Connection& c, std::uint16_t type, const Bytes& payload, FrameHeader& header, Bytes& answer) {
    EXPECT_TRUE(Send(c, type, payload));
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

  // A viewer's channel to `id`, claimed by the host reading `control`: the pair the relay carries.
  struct Session {
    std::unique_ptr<Connection> viewer;
    std::unique_ptr<Connection> host;
  };
  Session OpenSession(Connection& control, const std::string& id) {
    Session session;
    session.viewer = Open();
    EXPECT_TRUE(Send(*session.viewer, msg::kHello, Encode(ViewerHello(id, kPictureChannel))));
    FrameHeader header;
    Bytes payload;
    RelayTicket ticket;
    EXPECT_TRUE(control.ReceiveFrame(header, payload));
    EXPECT_EQ(header.type, msg::kRelayTicket);
    EXPECT_TRUE(Decode(payload, ticket));
    session.host = Open();
    EXPECT_TRUE(Exchange(*session.host, msg::kRelayTicketClaim, Encode(ticket), header, payload));
    EXPECT_EQ(header.type, msg::kHello);
    return session;
  }

  // The relay's status answer, from a probe of its own.
  RelayStatus Status() {
    auto probe = Open();
    FrameHeader header;
    Bytes payload;
    RelayStatus status;
    EXPECT_TRUE(Exchange(*probe, msg::kRelayStatus, {}, header, payload));
    EXPECT_TRUE(Decode(payload, status));
    return status;
  }

  testing::LogCapture log_;
  std::unique_ptr<asio::io_context> io_;
  std::unique_ptr<RelayServer> server_;
  std::thread thread_;
};

}  // namespace tvx::relay

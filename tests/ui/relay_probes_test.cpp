// The relay sheet's probe worker against loopback stand-ins for a relay, a server that answers
// something else, one that never answers, and a closed port.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "loopback.h"
#include "net/connection.h"
#include "net/listener.h"
#include "net/message_types.h"
#include "net/relay_messages.h"
#include "ui/relay_probes.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;

enum class Answer { Relay, OtherType, Silence };

// Accepts on 127.0.0.1 and answers each connection's first frame as told.
class StandIn {
 public:
  explicit StandIn(Answer answer) : answer_(answer) {
    EXPECT_TRUE(testing::ListenLoopback(listener_, false));
    thread_ = std::thread([this] { Serve(); });
  }
  ~StandIn() {
    listener_.Shutdown();
    {
      std::lock_guard lock(mutex_);
      for (auto& c : open_) c->Shutdown();
    }
    thread_.join();
  }
  std::uint16_t port() const { return listener_.Port(); }

 private:
  void Serve() {
    for (;;) {
      sock::Handle socket = sock::kInvalid;
      std::wstring address;
      const Listener::AcceptResult r = listener_.Accept(socket, address);
      if (r == Listener::AcceptResult::kStopped) return;
      if (r != Listener::AcceptResult::kAccepted) continue;
      auto connection = std::make_shared<Connection>(socket);
      FrameHeader header;
      Bytes payload;
      if (!connection->ReceiveFrame(header, payload)) continue;
      if (answer_ == Answer::Relay) {
        RelayStatus status;
        status.hostsSharing = 3;
        status.connectionsCarried = 41;
        const Bytes reply = Encode(status);
        connection->SendFrame(msg::kRelayStatus, 0, reply.data(), static_cast<std::uint32_t>(reply.size()));
      } else if (answer_ == Answer::OtherType) {
        const std::uint8_t byte = 1;
        connection->SendFrame(0x22, 0, &byte, 1);
      } else {
        std::lock_guard lock(mutex_);
        open_.push_back(connection);  // kept open and silent
      }
    }
  }

  Answer answer_;
  Listener listener_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Connection>> open_;
  std::thread thread_;
};

// Counts the repaint requests the worker posts.
struct Repaints {
  std::atomic<int> count{0};
  std::function<void()> Callback() {
    return [this] { count.fetch_add(1); };
  }
};

template <class Predicate>
bool Eventually(Predicate done, std::chrono::milliseconds timeout = 6s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

TEST(RelayProbes, StatesOfEachKindOfPeer) {
  StandIn relay(Answer::Relay);
  StandIn other(Answer::OtherType);
  Repaints repaints;
  RelayProbes probes(repaints.Callback());
  // All on one port number, as the sheet probes every relay on the share port: use one peer per run.
  probes.Start({L"127.0.0.1"}, relay.port());
  ASSERT_TRUE(Eventually([&] { return !probes.Running(); }));
  EXPECT_EQ(probes.Status(L"127.0.0.1"), (RelayStatusRecord{RelayState::Online, 3, 41}));
  EXPECT_EQ(RelayStatusText(probes.Status(L"127.0.0.1")), L"online   3 sharing   41 connections carried");
  EXPECT_GE(repaints.count.load(), 1);

  probes.Start({L"127.0.0.1"}, other.port());
  ASSERT_TRUE(Eventually([&] { return !probes.Running(); }));
  EXPECT_EQ(probes.Status(L"127.0.0.1").state, RelayState::NotARelay);
  EXPECT_EQ(RelayStatusText(probes.Status(L"127.0.0.1")), L"answered, but not as a relay");

  EXPECT_EQ(RelayStatusText(probes.Status(L"never.probed")), L"not checked");
}

TEST(RelayProbes, ClosedPortCannotBeReached) {
  std::uint16_t closedPort = 0;
  {
    Listener listener;
    ASSERT_TRUE(testing::ListenLoopback(listener, false));
    closedPort = listener.Port();
  }
  RelayProbes probes(nullptr);
  probes.Start({L"127.0.0.1", L"127.0.0.2"}, closedPort);
  EXPECT_EQ(RelayStatusText({RelayState::Probing}), L"checking...");
  ASSERT_TRUE(Eventually([&] { return !probes.Running(); }));
  EXPECT_EQ(probes.Status(L"127.0.0.1").state, RelayState::Unreachable);
  EXPECT_EQ(RelayStatusText(probes.Status(L"127.0.0.2")), L"cannot be reached");
}

TEST(RelayProbes, StopReturnsAtOnceWhileARelayIsSilent) {
  StandIn silent(Answer::Silence);
  RelayProbes probes(nullptr);
  probes.Start({L"127.0.0.1", L"127.0.0.3"}, silent.port());
  EXPECT_EQ(probes.Status(L"127.0.0.1").state, RelayState::Probing);
  std::this_thread::sleep_for(150ms);  // dialled and waiting for the answer
  const auto before = std::chrono::steady_clock::now();
  probes.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  EXPECT_FALSE(probes.Running());
  // Nothing was learnt: neither address stays "checking...".
  EXPECT_EQ(probes.Status(L"127.0.0.1").state, RelayState::NotProbed);
  EXPECT_EQ(probes.Status(L"127.0.0.3").state, RelayState::NotProbed);
}

}  // namespace
}  // namespace tvx

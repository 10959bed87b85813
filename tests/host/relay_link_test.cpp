// The host's relay link against the real relay server, and against a scripted fake relay where
// the real one would never misbehave. Loopback only.
#include "host/relay_link.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/format.h"
#include "foundation/text.h"
#include "host/relay_backoff.h"
#include "host/relay_probe.h"
#include "net/dial.h"
#include "net/listener.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"
#include "running_relay.h"
#include "support/fake_resolvers.h"
#include "support/log_capture.h"
#include "support/silent_listener.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;
using testing::RunningRelay;

TEST(RelayBackoff, DoublesToFifteenSecondsAndStartsOver) {
  RelayBackoff backoff;
  const std::uint32_t expected[] = {2000, 4000, 8000, 15000, 15000, 15000};
  for (std::uint32_t delay : expected) EXPECT_EQ(backoff.NextDelayMs(), delay);
  backoff.Registered();
  EXPECT_EQ(backoff.NextDelayMs(), 2000u);
  EXPECT_EQ(backoff.NextDelayMs(), 4000u);
}

// Remembers every status the link reports and lets a test wait for one.
class StatusLog {
 public:
  void Attach(RelayLink& link) {
    link.SetStatusHandler([this](const std::wstring& status, bool ready) {
      std::lock_guard lock(mutex_);
      last_ = status;
      ready_ = ready;
      changed_.notify_all();
    });
  }
  bool WaitFor(const std::wstring& prefix, std::chrono::milliseconds timeout = 5000ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return last_.rfind(prefix, 0) == 0; });
  }
  bool ready() {
    std::lock_guard lock(mutex_);
    return ready_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::wstring last_;
  bool ready_ = false;
};

// A listener on 127.0.0.1 at a port the system picks, standing in for a relay.
bool ListenLoopback(Listener& listener) {
  const sock::Handle s = sock::Create(sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
  if (s == sock::kInvalid) return false;
  if (sock::BindLoopback(s, false, 0) != 0 || sock::Listen(s, 8) != 0) {
    sock::Close(s);
    return false;
  }
  listener.Attach(s);
  return true;
}

RelayTarget Target(std::uint16_t port, const std::string& id = "123456789") {
  return RelayTarget{L"127.0.0.1", port, id, "DESK"};
}

TEST(RelayLink, RegistersAndHandsEveryDialBackToAdmission) {
  RunningRelay relay;
  ASSERT_TRUE(relay.started());

  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Hello> greetings;
  RelayLink link([&](std::shared_ptr<Connection> connection) {
    // The viewer's greeting is the first frame on a claimed dial-back.
    connection->SetReceiveTimeout(3000);
    FrameHeader header;
    Bytes payload;
    Hello hello;
    if (connection->ReceiveFrame(header, payload) && DecodeGreeting(header, payload, hello)) {
      std::lock_guard lock(mutex);
      greetings.push_back(hello);
      arrived.notify_all();
    }
  });
  StatusLog status;
  status.Attach(link);
  link.Start(Target(relay.port()));
  ASSERT_TRUE(status.WaitFor(L"Relay ready. They can connect from anywhere."));
  EXPECT_TRUE(link.Ready());

  // Both channels of one viewer come through two tickets and two dial-backs.
  std::vector<std::unique_ptr<Connection>> viewers;
  for (std::uint8_t channel : {kPictureChannel, kPointerChannel}) {
    auto viewer = std::make_unique<Connection>();
    std::wstring error;
    ASSERT_TRUE(Dial(*viewer, L"127.0.0.1", relay.port(), 2000, error));
    Hello hello;
    hello.channel = channel;
    hello.nonce = 77;
    hello.relayId = "123456789";
    const Bytes payload = Encode(hello);
    ASSERT_TRUE(viewer->SendFrame(msg::kHello, 0, payload.data(), static_cast<std::uint32_t>(payload.size())));
    viewers.push_back(std::move(viewer));
  }
  std::unique_lock lock(mutex);
  ASSERT_TRUE(arrived.wait_for(lock, 5s, [&] { return greetings.size() == 2; }));
  EXPECT_EQ(greetings[0].nonce, 77u);
  EXPECT_NE(greetings[0].channel, greetings[1].channel);
  lock.unlock();

  link.Stop();  // ends the registered link at once
  EXPECT_FALSE(link.Ready());
}

TEST(RelayLink, RefusalIsShownAndADroppedRelayIsRejoined) {
  std::uint16_t port = 0;
  testing::LogCapture log;
  RelayLink link([](std::shared_ptr<Connection>) {});
  link.SetTimings({2000, 2000, 20});  // back-off of 100, 200, 400, 750 ms
  StatusLog status;
  status.Attach(link);
  {
    RunningRelay relay;
    ASSERT_TRUE(relay.started());
    port = relay.port();
    // Somebody else already holds the ID.
    Connection holder;
    std::wstring error;
    ASSERT_TRUE(Dial(holder, L"127.0.0.1", port, 2000, error));
    RelayRegistration registration;
    registration.relayId = "123456789";
    const Bytes payload = Encode(registration);
    ASSERT_TRUE(holder.SendFrame(msg::kRelayRegistration, 0, payload.data(), static_cast<std::uint32_t>(payload.size())));
    FrameHeader header;
    Bytes answer;
    holder.SetReceiveTimeout(2000);
    ASSERT_TRUE(holder.ReceiveFrame(header, answer));

    link.Start(Target(port));
    ASSERT_TRUE(status.WaitFor(L"Relay: That ID is already in use on this relay."));
    EXPECT_TRUE(log.Contains(L"Relay refused us: That ID is already in use on this relay."));
    holder.Close();  // the ID is free: a later attempt registers
    ASSERT_TRUE(status.WaitFor(L"Relay ready."));
  }
  // The relay went away.
  ASSERT_TRUE(status.WaitFor(L"Relay connection dropped, retrying...") || status.WaitFor(L"Relay unreachable: "));
  RunningRelay again(port);
  ASSERT_TRUE(again.started());
  ASSERT_TRUE(status.WaitFor(L"Relay ready.", 10s));
  link.Stop();
}

TEST(RelayLink, UnreachableRelayIsRetriedAndStopIsImmediate) {
  Listener closed;  // a port that was just free: nothing listens there
  ASSERT_TRUE(ListenLoopback(closed));
  const std::uint16_t port = closed.Port();
  closed.Close();

  testing::LogCapture log;
  RelayLink link([](std::shared_ptr<Connection>) {});
  StatusLog status;
  status.Attach(link);
  link.Start(Target(port));
  ASSERT_TRUE(status.WaitFor(L"Relay unreachable: "));
  EXPECT_TRUE(log.Contains(L"Relay connect failed: Relay unreachable: "));
  const auto start = std::chrono::steady_clock::now();
  link.Stop();  // in the middle of a 2 s back-off
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

// A fake relay that registers the host and then sends what the test scripts.
TEST(RelayLink, TicketsBeforeRegistrationOrOfTheWrongSizeAreIgnored) {
  Listener fake;
  ASSERT_TRUE(ListenLoopback(fake));
  std::atomic<int> dialBacks{0};
  RelayLink link([&](std::shared_ptr<Connection>) { ++dialBacks; });
  link.Start(Target(fake.Port()));

  sock::Handle socket = sock::kInvalid;
  std::wstring address;
  ASSERT_EQ(fake.Accept(socket, address), Listener::AcceptResult::kAccepted);
  Connection control(socket);
  control.SetReceiveTimeout(3000);
  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(control.ReceiveFrame(header, payload));
  ASSERT_EQ(header.type, msg::kRelayRegistration);

  const Bytes early = Encode(RelayTicket{1});
  ASSERT_TRUE(control.SendFrame(msg::kRelayTicket, 0, early.data(), 8));  // before 0x31
  ASSERT_TRUE(control.SendFrame(msg::kRelayRegistered, 0, nullptr, 0));
  ASSERT_TRUE(control.SendFrame(msg::kRelayTicket, 0, early.data(), 7));  // wrong size
  const Bytes good = Encode(RelayTicket{99});
  ASSERT_TRUE(control.SendFrame(msg::kRelayTicket, 0, good.data(), 8));

  // Exactly one dial-back arrives, and it claims ticket 99.
  ASSERT_EQ(fake.Accept(socket, address), Listener::AcceptResult::kAccepted);
  Connection dialBack(socket);
  dialBack.SetReceiveTimeout(3000);
  ASSERT_TRUE(dialBack.ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, msg::kRelayTicketClaim);
  RelayTicket claimed;
  ASSERT_TRUE(Decode(payload, claimed));
  EXPECT_EQ(claimed.ticket, 99u);
  for (int i = 0; i < 50 && dialBacks.load() == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(dialBacks.load(), 1);
  link.Stop();
}

// A fake relay that registers the host and then floods it with tickets while every dial-back is
// held up in admission: the threads stay capped, the queue bounded, and every queued ticket is
// served once admission moves again.
TEST(RelayLink, ATicketFloodIsServedByAFewThreadsAndABoundedQueue) {
  Listener fake;
  ASSERT_TRUE(ListenLoopback(fake));
  testing::LogCapture log;

  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  int inAdmission = 0;
  int mostAtOnce = 0;
  int served = 0;
  RelayLink link([&](std::shared_ptr<Connection>) {
    std::unique_lock lock(mutex);
    mostAtOnce = std::max(mostAtOnce, ++inAdmission);
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    --inAdmission;
    ++served;
    changed.notify_all();
  });
  link.Start(Target(fake.Port()));

  sock::Handle socket = sock::kInvalid;
  std::wstring address;
  ASSERT_EQ(fake.Accept(socket, address), Listener::AcceptResult::kAccepted);
  Connection control(socket);
  control.SetReceiveTimeout(3000);
  FrameHeader header;
  Bytes payload;
  ASSERT_TRUE(control.ReceiveFrame(header, payload));
  ASSERT_TRUE(control.SendFrame(msg::kRelayRegistered, 0, nullptr, 0));

  // The relay's side of every dial-back: accepted and held open.
  std::atomic<bool> stopAccepting{false};
  std::vector<std::unique_ptr<Connection>> dialBacks;
  std::thread acceptor([&] {
    while (!stopAccepting.load()) {
      sock::Handle s = sock::kInvalid;
      std::wstring peer;
      if (fake.Accept(s, peer) == Listener::AcceptResult::kAccepted) dialBacks.push_back(std::make_unique<Connection>(s));
    }
  });

  const std::size_t cap = RelayLink::kMaxDialBackThreads;
  const std::size_t queue = RelayLink::kMaxQueuedTickets;
  const std::size_t flood = cap + queue + 40;
  for (std::uint64_t ticket = 1; ticket <= flood; ++ticket) {
    const Bytes frame = Encode(RelayTicket{ticket});
    ASSERT_TRUE(control.SendFrame(msg::kRelayTicket, 0, frame.data(), 8));
  }
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return inAdmission == static_cast<int>(cap); }));
  }
  // Tickets that came while the threads were still picking theirs up may have been queued too.
  const std::size_t atLeastRefused = flood - cap - queue;
  for (int i = 0; i < 500 && log.Count(L"tickets are already waiting") < atLeastRefused; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  const std::size_t refused = log.Count(L"tickets are already waiting");
  EXPECT_GE(refused, atLeastRefused);
  EXPECT_LE(refused, flood - queue);
  // Which tickets are refused depends on how soon the threads took theirs, but a refusal always
  // finds the queue full.
  EXPECT_EQ(log.Count(FormatText(L" refused: %u tickets are already waiting", static_cast<unsigned>(queue))), refused);
  {
    std::unique_lock lock(mutex);
    EXPECT_EQ(mostAtOnce, static_cast<int>(cap));
    release = true;
    changed.notify_all();
    // Every ticket that was not refused is served, still by at most `cap` threads at once.
    EXPECT_TRUE(changed.wait_for(lock, 20s, [&] { return served == static_cast<int>(flood - refused); }));
    EXPECT_EQ(mostAtOnce, static_cast<int>(cap));
  }
  link.Stop();
  stopAccepting.store(true);
  fake.Shutdown();  // wakes the acceptor
  acceptor.join();
}

TEST(RelayProbe, OnlineUnreachableAndNotARelay) {
  {
    RunningRelay relay;
    ASSERT_TRUE(relay.started());
    Connection connection;
    const RelayProbeResult result = ProbeRelay(connection, L"127.0.0.1", relay.port());
    EXPECT_EQ(result.state, RelayProbeResult::State::Online);
    EXPECT_EQ(RelayProbeText(result), L"online   0 sharing   0 connections carried");
  }

  // Something that answers the status request with 12 bytes is not a relay.
  Listener fake;
  ASSERT_TRUE(ListenLoopback(fake));
  std::thread server([&] {
    sock::Handle socket = sock::kInvalid;
    std::wstring address;
    if (fake.Accept(socket, address) != Listener::AcceptResult::kAccepted) return;
    Connection c(socket);
    c.SetReceiveTimeout(3000);
    FrameHeader header;
    Bytes payload;
    if (c.ReceiveFrame(header, payload)) {
      const Bytes twelve(12);
      c.SendFrame(msg::kRelayStatus, 0, twelve.data(), 12);
    }
  });
  Connection connection;
  RelayProbeResult result = ProbeRelay(connection, L"127.0.0.1", fake.Port());
  server.join();
  EXPECT_EQ(result.state, RelayProbeResult::State::NotARelay);
  EXPECT_EQ(RelayProbeText(result), L"answered, but not as a relay");

  const std::uint16_t port = fake.Port();
  fake.Close();
  Connection nothing;
  result = ProbeRelay(nothing, L"127.0.0.1", port);
  EXPECT_EQ(result.state, RelayProbeResult::State::Unreachable);
  EXPECT_EQ(RelayProbeText(result), L"cannot be reached");
}

// Stopping the share stops the link at once also while the relay's name is looked up (a name
// server that never answers) or its address dialed (a relay that drops packets), and also when
// the stop comes just as an attempt begins.
TEST(RelayLink, StopIsImmediateWhileTheRelayIsLookedUpOrDialed) {
  constexpr auto kQuickStop = 1s;
  {
    SCOPED_TRACE("looking up the relay's name");
    auto resolver = std::make_shared<testing::SilentResolver>();
    RelayLink link([](std::shared_ptr<Connection>) {});
    link.SetResolver(resolver);
    link.Start(RelayTarget{L"relay.example", 7788, "123456789", "DESK"});
    for (int i = 0; i < 200 && resolver->Started() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(resolver->Started(), 1u);
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    link.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickStop);
    EXPECT_EQ(resolver->Abandoned(), 1u);
  }
  testing::SilentListener silent;
  if (!silent.full()) GTEST_SKIP() << "this system answers connects beyond a full backlog";
  {
    SCOPED_TRACE("dialing a relay that drops packets");
    RelayLink link([](std::shared_ptr<Connection>) {});
    link.Start(Target(silent.port()));
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    link.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickStop);
  }
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(i);
    RelayLink link([](std::shared_ptr<Connection>) {});
    link.Start(Target(silent.port()));
    if (i % 2 == 1) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    link.Stop();
    ASSERT_LT(std::chrono::steady_clock::now() - start, kQuickStop);
  }
}

}  // namespace
}  // namespace tvx

#include "net/connection.h"

#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "loopback.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

using testing::ConnectionPair;
using testing::MakePair;
using namespace std::chrono_literals;

// Generous: only a hang, not slowness, fails these waits.
constexpr auto kHangGuard = 10s;

std::vector<std::uint8_t> Pattern(std::size_t length, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 11));
  return bytes;
}

std::vector<std::uint8_t> Header(std::uint32_t magic, std::uint16_t type, std::uint32_t length) {
  std::vector<std::uint8_t> bytes(kFrameHeaderSize);
  WriteFrameHeader(FrameHeader{magic, type, 0, length}, bytes.data());
  return bytes;
}

TEST(FrameHeaderTest, IsTvrxThenLittleEndianFields) {
  std::uint8_t bytes[kFrameHeaderSize];
  WriteFrameHeader(FrameHeader{kFrameMagic, 0x0182, 0x0001, 0x01020304}, bytes);
  const std::uint8_t expected[] = {'T', 'V', 'R', 'X', 0x82, 0x01, 0x01, 0x00, 0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof expected));
  const FrameHeader back = ReadFrameHeader(bytes);
  EXPECT_EQ(back.magic, kFrameMagic);
  EXPECT_EQ(back.type, 0x0182);
  EXPECT_EQ(back.flags, 1);
  EXPECT_EQ(back.length, 0x01020304u);
}

// Frames of every size class arrive whole, in order, with their type and flags, and the sender
// counts headers and payloads.
TEST(ConnectionTest, FramesOfEverySizeArriveWhole) {
  const std::uint32_t lengths[] = {0, 1, 12, 1048576 + 3, kFrameCap};
  ConnectionPair pair = MakePair();
  std::thread sender([&] {
    std::uint16_t type = 1;
    for (std::uint32_t length : lengths) {
      const auto payload = Pattern(length, static_cast<std::uint8_t>(type));
      EXPECT_TRUE(pair.dialed->SendFrame(type, type == 5 ? 1 : 0, payload.data(), length));
      ++type;
    }
  });
  std::uint64_t expectedBytes = 0;
  std::uint16_t type = 1;
  for (std::uint32_t length : lengths) {
    FrameHeader header;
    std::vector<std::uint8_t> payload{9, 9, 9};
    ASSERT_TRUE(pair.accepted->ReceiveFrame(header, payload)) << length;
    EXPECT_EQ(header.type, type);
    EXPECT_EQ(header.flags, type == 5 ? 1 : 0);
    EXPECT_EQ(header.length, length);
    EXPECT_TRUE(payload == Pattern(length, static_cast<std::uint8_t>(type))) << length;
    expectedBytes += kFrameHeaderSize + length;
    ++type;
  }
  sender.join();
  EXPECT_EQ(pair.dialed->BytesSent(), expectedBytes);
  EXPECT_EQ(pair.accepted->BytesSent(), 0u);
}

TEST(ConnectionTest, PayloadAboveCapNeverReachesTheWire) {
  tvx::testing::LogCapture log;
  ConnectionPair pair = MakePair();
  std::vector<std::uint8_t> big(kFrameCap + 1);
  EXPECT_FALSE(pair.dialed->SendFrame(0x82, 0, big.data(), kFrameCap + 1));
  EXPECT_TRUE(log.Contains(L"Refusing to send a 16777217-byte payload (cap 16777216)"));
  // A length without data would announce bytes that never come.
  EXPECT_FALSE(pair.dialed->SendFrame(0x82, 0, nullptr, 10));
  EXPECT_EQ(pair.dialed->BytesSent(), 0u);

  // Gathered parts are held to the same cap.
  const std::span<const std::uint8_t> parts[] = {std::span<const std::uint8_t>(big.data(), kFrameCap),
                                                 std::span<const std::uint8_t>(big.data(), 1)};
  EXPECT_FALSE(pair.dialed->SendFrameParts(0x41, 0, parts));
  EXPECT_EQ(pair.dialed->BytesSent(), 0u);

  // The stream is intact: the next frame is the first the peer sees.
  const std::uint8_t small[] = {1, 2, 3};
  ASSERT_TRUE(pair.dialed->SendFrame(7, 0, small, sizeof small));
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  ASSERT_TRUE(pair.accepted->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, 7);
  EXPECT_EQ(payload, std::vector<std::uint8_t>(small, small + 3));
}

TEST(ConnectionTest, GatheredPartsTravelAsOneFrame) {
  ConnectionPair pair = MakePair();
  const auto a = Pattern(8, 1);
  const auto b = Pattern(70000, 2);
  const std::span<const std::uint8_t> parts[] = {a, std::span<const std::uint8_t>(), b};
  ASSERT_TRUE(pair.dialed->SendFrameParts(0x41, 0, parts));
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  ASSERT_TRUE(pair.accepted->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, 0x41);
  std::vector<std::uint8_t> expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(payload, expected);
  EXPECT_EQ(pair.dialed->BytesSent(), kFrameHeaderSize + expected.size());
}

// A hostile or broken peer ends only this connection, with the right log line, and never leaves a
// short payload behind.
TEST(ConnectionTest, MalformedStreamsFailTheReceive) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const wchar_t* logText;
  };
  std::vector<Case> cases;
  {
    auto bad = Header(0x58525655, 2, 4);
    bad.insert(bad.end(), {1, 2, 3, 4});
    cases.push_back({"bad magic", bad, L"Bad frame magic 0x58525655 - dropping connection"});
  }
  cases.push_back({"length above cap", Header(kFrameMagic, 2, kFrameCap + 1),
                   L"Frame length 16777217 exceeds cap - dropping connection"});
  {
    auto cut = Header(kFrameMagic, 2, 1000);
    const auto half = Pattern(500, 3);
    cut.insert(cut.end(), half.begin(), half.end());
    cases.push_back({"peer closes mid-payload", cut, nullptr});
  }
  cases.push_back({"peer closes mid-header", std::vector<std::uint8_t>{'T', 'V', 'R'}, nullptr});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tvx::testing::LogCapture log;
    ConnectionPair pair = MakePair();
    ASSERT_TRUE(pair.dialed->SendRaw(c.bytes.data(), c.bytes.size()));
    pair.dialed->Close();
    FrameHeader header;
    std::vector<std::uint8_t> payload{1, 2, 3};
    EXPECT_FALSE(pair.accepted->ReceiveFrame(header, payload));
    EXPECT_TRUE(payload.empty() || payload == (std::vector<std::uint8_t>{1, 2, 3}));
    if (c.logText != nullptr) {
      EXPECT_TRUE(log.Contains(c.logText));
      EXPECT_EQ(log.Count(L"dropping connection"), 1u);
    }
  }
}

TEST(ConnectionTest, TwoThreadsSendingLargeFramesNeverInterleave) {
  constexpr int kFramesPerThread = 4;
  constexpr std::uint32_t kLength = 1048576;
  ConnectionPair pair = MakePair();
  auto send = [&](std::uint8_t fill) {
    const std::vector<std::uint8_t> payload(kLength, fill);
    for (int i = 0; i < kFramesPerThread; ++i) EXPECT_TRUE(pair.dialed->SendFrame(fill, 0, payload.data(), kLength));
  };
  std::thread a(send, std::uint8_t{0xAA});
  std::thread b(send, std::uint8_t{0x55});
  int seen[2] = {0, 0};
  for (int i = 0; i < 2 * kFramesPerThread; ++i) {
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(pair.accepted->ReceiveFrame(header, payload));
    ASSERT_TRUE(header.type == 0xAA || header.type == 0x55);
    ASSERT_EQ(payload.size(), kLength);
    const std::vector<std::uint8_t> expected(kLength, static_cast<std::uint8_t>(header.type));
    ASSERT_TRUE(payload == expected) << "frame " << i << " is mixed";
    ++seen[header.type == 0xAA ? 0 : 1];
  }
  a.join();
  b.join();
  EXPECT_EQ(seen[0], kFramesPerThread);
  EXPECT_EQ(seen[1], kFramesPerThread);
}

TEST(ConnectionTest, CloseIsIdempotentAndEndsEveryOperation) {
  Connection never;
  never.Close();
  never.Close();
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  EXPECT_FALSE(never.ReceiveFrame(header, payload));
  EXPECT_FALSE(never.SendFrame(1, 0, nullptr, 0));
  EXPECT_FALSE(never.SendRaw("x", 1));
  EXPECT_TRUE(never.SendRaw(nullptr, 0));
  never.SetReceiveTimeout(100);  // no socket: nothing to do, nothing to break
  never.TuneSocket();

  ConnectionPair pair = MakePair();
  EXPECT_TRUE(pair.dialed->IsOpen());
  pair.dialed->Close();
  pair.dialed->Close();
  EXPECT_FALSE(pair.dialed->IsOpen());
  EXPECT_FALSE(pair.dialed->SendFrame(1, 0, nullptr, 0));
  EXPECT_FALSE(pair.accepted->ReceiveFrame(header, payload));  // the peer saw the close
}

TEST(ConnectionTest, MoveFromTakesTheSocketAndTheByteCount) {
  ConnectionPair pair = MakePair();
  ASSERT_TRUE(pair.accepted->SendFrame(3, 0, nullptr, 0));
  pair.accepted->SetReceiveTimeout(200);
  Connection moved;
  moved.MoveFrom(*pair.accepted);
  EXPECT_FALSE(pair.accepted->IsOpen());
  EXPECT_EQ(moved.BytesSent(), kFrameHeaderSize);
  moved.MoveFrom(moved);  // onto itself: nothing happens
  EXPECT_TRUE(moved.IsOpen());
  const std::uint8_t byte = 42;
  ASSERT_TRUE(moved.SendFrame(4, 0, &byte, 1));
  EXPECT_EQ(moved.BytesSent(), 2 * kFrameHeaderSize + 1);

  FrameHeader header;
  std::vector<std::uint8_t> payload;
  ASSERT_TRUE(pair.dialed->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, 3);
  ASSERT_TRUE(pair.dialed->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, 4);
  EXPECT_EQ(payload, std::vector<std::uint8_t>{42});
  // The receive time-out came along with the socket.
  auto receive = std::async(std::launch::async, [&] { return moved.ReceiveFrame(header, payload); });
  ASSERT_EQ(receive.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(receive.get());
}

// Stopping never hangs on a silent peer: a receiver blocked on a peer that sends nothing, and a
// sender blocked on a peer that reads nothing, both return once the owner stops the connection.
TEST(ConnectionTest, StopWakesThreadsBlockedOnASilentPeer) {
  // kFlagOnly stands for a platform where a shutdown wakes nothing: the flag alone must do.
  enum class Stop { kShutdown, kClose, kFlagOnly };
  for (Stop stop : {Stop::kShutdown, Stop::kClose, Stop::kFlagOnly}) {
    SCOPED_TRACE(stop == Stop::kShutdown ? "shutdown" : stop == Stop::kClose ? "close" : "flag only");
    // Two connections: on one the dialing end says nothing, on the other the accepting end
    // reads nothing.
    ConnectionPair quiet = MakePair();
    ConnectionPair deaf = MakePair();
    auto receiver = std::async(std::launch::async, [&] {
      FrameHeader header;
      std::vector<std::uint8_t> payload;
      return quiet.accepted->ReceiveFrame(header, payload);
    });
    auto sender = std::async(std::launch::async, [&] {
      // Far more than the socket buffers hold, so the send blocks on the peer that never reads.
      const std::vector<std::uint8_t> payload(kFrameCap);
      return deaf.dialed->SendFrame(0x82, 0, payload.data(), kFrameCap);
    });
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(receiver.wait_for(0ms), std::future_status::timeout) << "the receive did not block";
    ASSERT_EQ(sender.wait_for(0ms), std::future_status::timeout) << "the send did not block";
    if (stop == Stop::kShutdown) {
      quiet.accepted->Shutdown();
      deaf.dialed->Shutdown();
    } else if (stop == Stop::kClose) {
      quiet.accepted->Close();
      deaf.dialed->Close();
    } else {
      quiet.accepted->SetClosing(true);
      deaf.dialed->SetClosing(true);
    }
    ASSERT_EQ(receiver.wait_for(kHangGuard), std::future_status::ready);
    ASSERT_EQ(sender.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_FALSE(receiver.get());
    EXPECT_FALSE(sender.get());
  }
}

TEST(ConnectionTest, ReceiveTimeoutFailsASilentReceiveAfterItsTime) {
  ConnectionPair pair = MakePair();
  pair.accepted->SetReceiveTimeout(300);
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  const auto start = std::chrono::steady_clock::now();
  auto receive = std::async(std::launch::async, [&] { return pair.accepted->ReceiveFrame(header, payload); });
  ASSERT_EQ(receive.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(receive.get());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);

  // Removing it again lets a late frame through.
  ConnectionPair second = MakePair();
  second.accepted->SetReceiveTimeout(300);
  second.accepted->SetReceiveTimeout(0);
  std::thread late([&] {
    std::this_thread::sleep_for(500ms);
    second.dialed->SendFrame(9, 0, nullptr, 0);
  });
  EXPECT_TRUE(second.accepted->ReceiveFrame(header, payload));
  EXPECT_EQ(header.type, 9);
  late.join();
}

TEST(ConnectionTest, SendTimeoutFailsASendThePeerNeverReads) {
  ConnectionPair pair = MakePair();
  pair.dialed->SetSendTimeout(300);
  const std::vector<std::uint8_t> payload(kFrameCap);
  auto send = std::async(std::launch::async,
                         [&] { return pair.dialed->SendFrame(0x82, 0, payload.data(), kFrameCap); });
  ASSERT_EQ(send.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(send.get());
  // Nothing is counted for a frame that did not go out whole.
  EXPECT_EQ(pair.dialed->BytesSent(), kFrameHeaderSize);
}

// A last goodbye must not hold its caller up: neither a peer that reads nothing nor another
// sender holding the send lock keeps it beyond its time.
TEST(ConnectionTest, SendFrameWithinGivesUpInTime) {
  enum class Block { kPeerStoppedReading, kLockHeld };
  for (Block block : {Block::kPeerStoppedReading, Block::kLockHeld}) {
    SCOPED_TRACE(block == Block::kLockHeld ? "lock held" : "peer stopped reading");
    ConnectionPair pair = MakePair();
    // It goes out at once while nothing is in the way.
    ASSERT_TRUE(pair.dialed->SendFrameWithin(3, 0, nullptr, 0, 200));
    const std::vector<std::uint8_t> payload(kMaxSocketCall);
    std::unique_lock<std::mutex> held;
    if (block == Block::kLockHeld) {
      held = pair.dialed->LockSending();
    } else {
      // Fill every buffer on the way until a frame no longer fits.
      bool fits = true;
      for (int i = 0; i < 256 && fits; ++i) {
        fits = pair.dialed->SendFrameWithin(0x82, 0, payload.data(), kMaxSocketCall, 200);
      }
      ASSERT_FALSE(fits) << "the peer took everything";
    }
    const auto start = std::chrono::steady_clock::now();
    auto send = std::async(std::launch::async,
                           [&] { return pair.dialed->SendFrameWithin(3, 0, payload.data(), 64, 100); });
    ASSERT_EQ(send.wait_for(kHangGuard), std::future_status::ready);
    EXPECT_FALSE(send.get());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  }
}

}  // namespace
}  // namespace tvx

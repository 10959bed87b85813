#include "viewer/outgoing_queue.h"

#include <gtest/gtest.h>

#include <thread>

namespace tvx {
namespace {

using namespace std::chrono_literals;
using Slot = OutgoingQueue::Slot;

std::vector<std::uint8_t> Bytes(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
}

TEST(OutgoingQueue, SixHundredWhileStalledKeepsTheLast513InOrder) {
  OutgoingQueue queue;
  for (std::uint32_t i = 0; i < 600; ++i) queue.Push(0x21, Bytes(i));
  EXPECT_EQ(queue.waiting(), 513u);
  const auto batch = queue.Take(0ms, nullptr);
  ASSERT_EQ(batch.queued.size(), 513u);
  for (std::size_t i = 0; i < batch.queued.size(); ++i) {
    ASSERT_EQ(batch.queued[i].payload, Bytes(static_cast<std::uint32_t>(87 + i)));
  }
  EXPECT_EQ(queue.waiting(), 0u);
}

TEST(OutgoingQueue, SlotsKeepOnlyTheNewestValueAndTakeEmptiesThem) {
  OutgoingQueue queue;
  queue.SetLatest(Slot::Pointer, Bytes(1));
  queue.SetLatest(Slot::Pointer, Bytes(2));
  queue.SetLatest(Slot::LiveDrawing, Bytes(3));
  queue.Push(0x11, Bytes(4));
  auto batch = queue.Take(0ms, nullptr);
  EXPECT_FALSE(batch.latest[0].has_value());
  EXPECT_EQ(batch.latest[1], Bytes(2));
  EXPECT_EQ(batch.latest[2], Bytes(3));
  ASSERT_EQ(batch.queued.size(), 1u);
  EXPECT_TRUE(queue.Take(0ms, nullptr).Empty());

  queue.SetLatest(Slot::ControlMove, Bytes(5));
  queue.Push(0x20, Bytes(6));
  queue.Clear();
  EXPECT_TRUE(queue.Take(0ms, nullptr).Empty());
}

TEST(OutgoingQueue, TakeWaitsForWorkOrAWake) {
  OutgoingQueue queue;
  std::atomic<bool> stop{false};
  std::thread producer([&] {
    std::this_thread::sleep_for(20ms);
    queue.Push(0x19, {});
  });
  auto batch = queue.Take(10s, [&] { return stop.load(); });
  producer.join();
  EXPECT_EQ(batch.queued.size(), 1u);

  std::thread stopper([&] {
    std::this_thread::sleep_for(20ms);
    stop = true;
    queue.WakeAll();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(queue.Take(10s, [&] { return stop.load(); }).Empty());
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace tvx

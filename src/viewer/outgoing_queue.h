// What the viewer has to send on the pointer channel: a first-in first-out queue that drops its
// oldest entry when full, and three slots that keep only the newest value.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tvx {

struct OutgoingMessage {
  std::uint16_t type = 0;
  std::vector<std::uint8_t> payload;
};

class OutgoingQueue {
 public:
  // At most this many messages wait; a new one beyond it pushes the oldest out.
  static constexpr std::size_t kMaxWaiting = 513;

  // The latest-only slots, in the order the sender sends them.
  enum class Slot : std::size_t { ControlMove = 0, Pointer = 1, LiveDrawing = 2 };
  static constexpr std::size_t kSlots = 3;

  struct Batch {
    std::array<std::optional<std::vector<std::uint8_t>>, kSlots> latest;
    std::deque<OutgoingMessage> queued;
    bool Empty() const;
  };

  void Push(std::uint16_t type, std::vector<std::uint8_t> payload);
  void SetLatest(Slot slot, std::vector<std::uint8_t> payload);

  // Waits at most `wait` until something is pending or `wake` says to stop waiting, then takes
  // every pending slot and the whole queue.
  Batch Take(std::chrono::milliseconds wait, const std::function<bool()>& wake);
  // Wakes a Take in progress so it re-checks its `wake` condition.
  void WakeAll();
  // Empties the queue and the slots.
  void Clear();

  std::size_t waiting();

 private:
  bool PendingLocked() const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<OutgoingMessage> queue_;
  std::array<std::optional<std::vector<std::uint8_t>>, kSlots> latest_;
};

}  // namespace tvx

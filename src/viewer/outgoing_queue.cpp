#include "viewer/outgoing_queue.h"

namespace tvx {

bool OutgoingQueue::Batch::Empty() const {
  if (!queued.empty()) return false;
  for (const auto& slot : latest) {
    if (slot) return false;
  }
  return true;
}

void OutgoingQueue::Push(std::uint16_t type, std::vector<std::uint8_t> payload) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    while (queue_.size() >= kMaxWaiting) queue_.pop_front();
    queue_.push_back(OutgoingMessage{type, std::move(payload)});
  }
  changed_.notify_all();
}

void OutgoingQueue::SetLatest(Slot slot, std::vector<std::uint8_t> payload) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_[static_cast<std::size_t>(slot)] = std::move(payload);
  }
  changed_.notify_all();
}

OutgoingQueue::Batch OutgoingQueue::Take(std::chrono::milliseconds wait,
                                         const std::function<bool()>& wake) {
  Batch batch;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, wait, [&] { return PendingLocked() || (wake && wake()); });
  batch.latest.swap(latest_);
  for (auto& slot : latest_) slot.reset();
  batch.queued.swap(queue_);
  return batch;
}

void OutgoingQueue::WakeAll() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

void OutgoingQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.clear();
  for (auto& slot : latest_) slot.reset();
}

std::size_t OutgoingQueue::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool OutgoingQueue::PendingLocked() const {
  if (!queue_.empty()) return true;
  for (const auto& slot : latest_) {
    if (slot) return true;
  }
  return false;
}

}  // namespace tvx

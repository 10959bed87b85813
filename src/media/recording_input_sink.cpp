#include "media/recording_input_sink.h"

#include <utility>

namespace tvx {

RecordingInputSink::RecordingInputSink(std::size_t limit, Observer observer)
    : limit_(limit), observer_(std::move(observer)) {}

bool RecordingInputSink::Send(const InputEvent& event) {
  bool delivers = false;
  {
    std::lock_guard lock(mutex_);
    if (limit_ > 0) {
      if (events_.size() >= limit_) events_.pop_front();
      events_.push_back(event);
    }
    delivers = delivers_;
  }
  if (observer_) observer_(event);
  return delivers;
}

void RecordingInputSink::SetDelivers(bool delivers) {
  std::lock_guard lock(mutex_);
  delivers_ = delivers;
}

std::vector<InputEvent> RecordingInputSink::Events() const {
  std::lock_guard lock(mutex_);
  return {events_.begin(), events_.end()};
}

std::vector<InputEvent> RecordingInputSink::Take() {
  std::lock_guard lock(mutex_);
  std::vector<InputEvent> taken(events_.begin(), events_.end());
  events_.clear();
  return taken;
}

}  // namespace tvx

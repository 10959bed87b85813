// An input sink that keeps the events it is given instead of delivering them to the system.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "media/input_sink.h"

namespace tvx {

class RecordingInputSink final : public InputSink {
 public:
  using Observer = std::function<void(const InputEvent&)>;

  // Keeps at most `limit` events (the oldest go first); `observer`, when set, sees every event.
  explicit RecordingInputSink(std::size_t limit = std::numeric_limits<std::size_t>::max(),
                              Observer observer = {});

  bool Send(const InputEvent& event) override;

  // What Send reports from now on: false makes every later event count as rejected.
  void SetDelivers(bool delivers);

  std::vector<InputEvent> Events() const;
  // Returns the recorded events and forgets them.
  std::vector<InputEvent> Take();

 private:
  mutable std::mutex mutex_;
  std::deque<InputEvent> events_;
  std::size_t limit_;
  Observer observer_;
  bool delivers_ = true;
};

}  // namespace tvx

// How the relay's accept loop waits after a failed accept. Without a pause, an accept that fails
// for want of descriptors or memory would be retried at once, forever, at full CPU; the pause
// grows while the failures go on and the log gets at most one line a second about them.
#pragma once

#include <chrono>
#include <cstdint>

namespace tvx::relay {

class AcceptBackoff {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kFirstPause{100};
  static constexpr std::chrono::milliseconds kLongestPause{1000};
  static constexpr std::chrono::milliseconds kLogInterval{1000};

  struct Decision {
    std::chrono::milliseconds pause;  // wait this long before accepting again
    bool log = false;                 // write a log line about this failure
    std::uint32_t failures = 0;       // failures since the last line, this one included
  };

  // A failed accept at `now`.
  Decision Failed(Clock::time_point now);
  // An accept worked: the next failure starts again with the shortest pause.
  void Succeeded() { pause_ = kFirstPause; }

 private:
  std::chrono::milliseconds pause_ = kFirstPause;
  bool logged_ = false;
  Clock::time_point lastLog_{};
  std::uint32_t unlogged_ = 0;
};

}  // namespace tvx::relay

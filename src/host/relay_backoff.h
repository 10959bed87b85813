// The spacing of the host's attempts to register with its relay: 2, 4, 8, 15, 15, ... seconds,
// starting over after every registration that succeeded.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tvx {

class RelayBackoff {
 public:
  static constexpr std::uint32_t kFirstMs = 2000;
  static constexpr std::uint32_t kLongestMs = 15000;

  // How long to wait before the next attempt; each call doubles the following one.
  std::uint32_t NextDelayMs() {
    const std::uint32_t delay = delayMs_;
    delayMs_ = std::min(delayMs_ * 2, kLongestMs);
    return delay;
  }
  void Registered() { delayMs_ = kFirstMs; }

 private:
  std::uint32_t delayMs_ = kFirstMs;
};

}  // namespace tvx

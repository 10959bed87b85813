#include "relay_accept_backoff.h"

#include <algorithm>

namespace tvx::relay {

AcceptBackoff::Decision AcceptBackoff::Failed(Clock::time_point now) {
  Decision decision;
  decision.pause = pause_;
  pause_ = std::min(pause_ * 2, kLongestPause);
  ++unlogged_;
  if (!logged_ || now - lastLog_ >= kLogInterval) {
    logged_ = true;
    lastLog_ = now;
    decision.log = true;
    decision.failures = unlogged_;
    unlogged_ = 0;
  }
  return decision;
}

}  // namespace tvx::relay

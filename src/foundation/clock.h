// The monotonic microsecond clock and the precise sleep used for frame pacing.
#pragma once

#include <cstdint>

namespace tvx {

// Microseconds of a monotonic clock with an arbitrary origin.
std::int64_t NowMicros();

// Returns at once when `deadline` (NowMicros units) has passed; otherwise blocks until it, waking
// well under a millisecond late on a high-resolution timer.
void SleepUntil(std::int64_t deadline);

}  // namespace tvx

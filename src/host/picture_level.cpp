#include "host/picture_level.h"

#include <algorithm>

namespace tvx {

std::optional<PictureLevel::Change> PictureLevel::OnTurn(bool late, std::int64_t nowMicros) {
  ++turns_;
  if (late) ++lateTurns_;
  if (!windowStart_) {
    // Without this the first turn after start-up would be judged as a window of its own.
    windowStart_ = nowMicros;
    return std::nullopt;
  }
  if (nowMicros - *windowStart_ < kWindowMicros) return std::nullopt;

  const double ratio = turns_ == 0 ? 0.0 : static_cast<double>(lateTurns_) / turns_;
  std::optional<Change> change;
  if (ratio > 0.25 && level_ < kHighest) {
    ++level_;
    goodInARow_ = 0;
    change = Change{level_, true, ratio};
  } else if (ratio >= 0.02) {
    goodInARow_ = 0;
  } else if (++goodInARow_ >= 4 && level_ >= 1) {
    --level_;
    goodInARow_ = 0;
    change = Change{level_, false, ratio};
  }
  turns_ = 0;
  lateTurns_ = 0;
  windowStart_ = nowMicros;
  return change;
}

std::uint32_t FrameRateForLevel(std::uint32_t frameRate, std::uint32_t level) {
  const std::uint32_t rate = frameRate == 0 ? 1 : frameRate;
  // The floors keep a low level watchable; they never raise the rate above the one chosen.
  if (level == 2) return std::max(rate * 2 / 3, std::min<std::uint32_t>(rate, 8));
  if (level >= 3) return std::max(rate / 2, std::min<std::uint32_t>(rate, 6));
  return rate;
}

std::int64_t NextFrameDeadline(std::int64_t lastDeadline, std::int64_t nowMicros, std::int64_t periodMicros) {
  const std::int64_t base = nowMicros > lastDeadline + 5 * periodMicros ? nowMicros : lastDeadline;
  return base + periodMicros;
}

}  // namespace tvx

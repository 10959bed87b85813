// The host's picture level: 0 (full quality) to 3 (lightest), stepped by how often a viewer still
// had an unsent batch when the next one was ready ("late" turns).
//
// Turns are judged in windows of 400 ms: more than a quarter late raises the level one step; four
// windows in a row under 2 % late lower it one step. Pure logic: the caller passes the clock.
#pragma once

#include <cstdint>
#include <optional>

namespace tvx {

class PictureLevel {
 public:
  static constexpr std::int64_t kWindowMicros = 400000;
  static constexpr std::uint32_t kHighest = 3;

  struct Change {
    std::uint32_t level;  // the new level
    bool raised;          // true: the connection is behind; false: it caught up
    double lateRatio;     // late turns / turns of the window that decided it
  };

  // Records one turn that found changes. Evaluates when a window has passed since the last
  // evaluation (the first turn only starts the window) and returns the change, if the level moved.
  std::optional<Change> OnTurn(bool late, std::int64_t nowMicros);

  std::uint32_t level() const { return level_; }

 private:
  std::uint32_t level_ = 0;
  std::uint32_t turns_ = 0;
  std::uint32_t lateTurns_ = 0;
  int goodInARow_ = 0;
  std::optional<std::int64_t> windowStart_;
};

// Frames per second at a picture level: level 2 runs at two thirds (at least 8), level 3 at half
// (at least 6, or the chosen rate when that is lower); 0 counts as 1.
std::uint32_t FrameRateForLevel(std::uint32_t frameRate, std::uint32_t level);

// The streaming loop's next deadline: a steady rate, resynchronised when it is more than five
// periods behind.
std::int64_t NextFrameDeadline(std::int64_t lastDeadline, std::int64_t nowMicros, std::int64_t periodMicros);

}  // namespace tvx

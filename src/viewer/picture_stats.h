// The picture thread's once-a-second figures: received kbit/s and applied frames per second.
#pragma once

#include <cstdint>

namespace tvx {

class PictureStats {
 public:
  struct Figures {
    std::uint32_t kbitPerSecond = 0;
    std::uint32_t framesPerSecond = 0;
  };

  explicit PictureStats(std::uint64_t nowMs = 0) : since_(nowMs) {}

  // Every received frame, whatever its type: header plus payload.
  void AddBytes(std::uint64_t bytes) { bytes_ += bytes; }
  void CountFrame() { ++frames_; }

  // When at least a second has passed since the last publication, computes the figures over the
  // elapsed time (never less than a second), resets the counts and returns true.
  bool Publish(std::uint64_t nowMs, Figures& figures);

 private:
  std::uint64_t since_;
  std::uint64_t bytes_ = 0;
  std::uint64_t frames_ = 0;
};

}  // namespace tvx

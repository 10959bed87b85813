// The streaming loop's figures: outgoing kbit/s, frames (changed turns) and tiles encoded per
// second, recomputed at most once a second. Pure arithmetic; the caller passes the clock and the
// bytes sent so far.
#pragma once

#include <cstdint>
#include <optional>

namespace tvx {

struct StreamRates {
  std::uint32_t kbps = 0;
  std::uint32_t framesPerSecond = 0;
  std::uint32_t tilesPerSecond = 0;
};

class StreamStatistics {
 public:
  static constexpr std::int64_t kPublishMicros = 1'000'000;

  // Starts the first period.
  void Start(std::int64_t nowMicros, std::uint64_t bytesSent);
  // One changed turn that encoded `tiles` tiles.
  void OnTurn(std::uint32_t tiles);
  // New figures when a second has passed since the last ones. `bytesSent` is the sum over the
  // current viewers; when it went down (a viewer left) the rate of that period reads 0.
  std::optional<StreamRates> Publish(std::int64_t nowMicros, std::uint64_t bytesSent);

 private:
  std::int64_t lastPublish_ = 0;
  std::uint64_t lastBytes_ = 0;
  std::uint32_t turns_ = 0;
  std::uint64_t tiles_ = 0;
  bool started_ = false;
};

}  // namespace tvx

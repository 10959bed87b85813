#include "host/stream_statistics.h"

#include <algorithm>

namespace tvx {

void StreamStatistics::Start(std::int64_t nowMicros, std::uint64_t bytesSent) {
  lastPublish_ = nowMicros;
  lastBytes_ = bytesSent;
  turns_ = 0;
  tiles_ = 0;
  started_ = true;
}

void StreamStatistics::OnTurn(std::uint32_t tiles) {
  ++turns_;
  tiles_ += tiles;
}

std::optional<StreamRates> StreamStatistics::Publish(std::int64_t nowMicros, std::uint64_t bytesSent) {
  if (!started_) {
    Start(nowMicros, bytesSent);
    return std::nullopt;
  }
  const std::int64_t elapsedMs = (nowMicros - lastPublish_) / 1000;
  if (elapsedMs < kPublishMicros / 1000) return std::nullopt;
  const double seconds = std::max(static_cast<double>(elapsedMs) / 1000.0, 1.0);
  StreamRates rates;
  if (bytesSent >= lastBytes_) {
    rates.kbps = static_cast<std::uint32_t>(static_cast<double>(bytesSent - lastBytes_) * 8.0 / 1000.0 / seconds);
  }
  rates.framesPerSecond = static_cast<std::uint32_t>(turns_ / seconds);
  rates.tilesPerSecond = static_cast<std::uint32_t>(static_cast<double>(tiles_) / seconds);
  Start(nowMicros, bytesSent);
  return rates;
}

}  // namespace tvx

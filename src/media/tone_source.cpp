#include "media/tone_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/clock.h"

namespace tvx {
namespace {

// At most 100 ms per packet, like a device period after a stall.
constexpr std::uint64_t kMaxPacketFrames = ToneSource::kSampleRate / 10;
constexpr std::uint32_t kFloatTag = 3;

}  // namespace

bool ToneSource::Open(SoundSourceFormat& format) {
  format.sampleRate = kSampleRate;
  format.channels = kChannels;
  format.kind = SampleKindFor(kFloatTag, false, 32);
  format.bytesPerFrame = kChannels * sizeof(float);
  startMicros_ = NowMicros();
  framesMade_ = 0;
  return true;
}

bool ToneSource::NextPacketFrames(std::uint32_t& frames) {
  const std::int64_t elapsed = std::max<std::int64_t>(NowMicros() - startMicros_, 0);
  const std::uint64_t due = static_cast<std::uint64_t>(elapsed) * kSampleRate / 1000000;
  frames = static_cast<std::uint32_t>(std::min(due > framesMade_ ? due - framesMade_ : 0, kMaxPacketFrames));
  return true;
}

bool ToneSource::GetPacket(Packet& packet) {
  std::uint32_t frames = 0;
  NextPacketFrames(frames);
  buffer_.resize(std::size_t{frames} * kChannels);
  for (std::uint32_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(framesMade_ + f) / kSampleRate;
    const float value = static_cast<float>(kAmplitude * std::sin(2.0 * std::numbers::pi * kFrequency * t));
    for (std::uint32_t c = 0; c < kChannels; ++c) buffer_[std::size_t{f} * kChannels + c] = value;
  }
  packet.data = reinterpret_cast<const std::uint8_t*>(buffer_.data());
  packet.size = buffer_.size() * sizeof(float);
  packet.frames = frames;
  packet.silent = false;
  return true;
}

void ToneSource::ReleasePacket(std::uint32_t frames) { framesMade_ += frames; }

}  // namespace tvx

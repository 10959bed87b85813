// A loopback source that plays a quiet 440 Hz tone in real time, as 48 kHz stereo float: lets a
// host without a sound device send sound, and exercises the same conversion as a real mix.
#pragma once

#include <cstdint>
#include <vector>

#include "media/loopback_source.h"

namespace tvx {

class ToneSource final : public LoopbackSource {
 public:
  static constexpr std::uint32_t kSampleRate = 48000;
  static constexpr std::uint32_t kChannels = 2;
  static constexpr double kFrequency = 440.0;
  static constexpr double kAmplitude = 0.25;

  bool Open(SoundSourceFormat& format) override;
  bool NextPacketFrames(std::uint32_t& frames) override;
  bool GetPacket(Packet& packet) override;
  void ReleasePacket(std::uint32_t frames) override;
  void Close() override {}

 private:
  std::int64_t startMicros_ = 0;
  std::uint64_t framesMade_ = 0;
  std::vector<float> buffer_;
};

}  // namespace tvx

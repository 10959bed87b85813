// Turns captured mix packets into what viewers are sent: interleaved 16-bit samples of at most two
// channels, and nothing at all once the mix has been silent for a while.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvx {

enum class SampleKind : std::uint8_t { kFloat32, kInt16, kInt32, kOther };

// The kind of a mix format's samples. `formatTag` is the wave format tag; `extensibleFloat` tells
// whether an extensible format's sub-format is IEEE float.
SampleKind SampleKindFor(std::uint16_t formatTag, bool extensibleFloat, std::uint16_t bitsPerSample);

struct SoundSourceFormat {
  std::uint32_t sampleRate = 0;
  std::uint32_t channels = 0;      // as the source delivers them
  SampleKind kind = SampleKind::kOther;
  std::uint32_t bytesPerFrame = 0;  // the block alignment; 0: worked out from kind and channels
};

// The channel count sent to viewers: the source's, at most 2, and 1 when it reports none.
std::uint32_t OutputChannels(std::uint32_t sourceChannels);

// Converts `frames` frames of source samples into `out` (resized to frames × OutputChannels).
// Channels beyond the second are dropped; sizes other than 16 and 32 bits give zeros. A buffer of
// `size` bytes shorter than the frames need converts only the whole frames it holds.
void ConvertSamples(const SoundSourceFormat& format, const std::uint8_t* data, std::size_t size,
                    std::uint32_t frames, std::vector<std::int16_t>& out);

// The packet rule of the capture loop: audible packets are converted; silent ones still produce
// zeros for 250 ms after the last audible packet (so playback ends cleanly) and then nothing.
class SoundPacketConverter {
 public:
  static constexpr std::uint64_t kSilenceTailMs = 250;

  explicit SoundPacketConverter(const SoundSourceFormat& format);

  // Counts the start of capture as audible.
  void Start(std::uint64_t nowMs) { lastAudible_ = nowMs; }

  // Returns the frames to send (0: send nothing); the samples are in samples().
  std::uint32_t Process(const std::uint8_t* data, std::size_t size, std::uint32_t frames, bool silent,
                        std::uint64_t nowMs);
  const std::vector<std::int16_t>& samples() const { return samples_; }
  std::uint32_t channels() const { return channels_; }

 private:
  SoundSourceFormat format_;
  std::uint32_t channels_;
  std::uint64_t lastAudible_ = 0;
  std::vector<std::int16_t> samples_;
};

}  // namespace tvx

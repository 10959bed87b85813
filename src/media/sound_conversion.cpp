#include "media/sound_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tvx {
namespace {

constexpr std::uint16_t kTagIeeeFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

std::uint32_t BytesPerSample(SampleKind kind) {
  switch (kind) {
    case SampleKind::kInt16:
      return 2;
    case SampleKind::kFloat32:
    case SampleKind::kInt32:
      return 4;
    default:
      return 0;
  }
}

std::int16_t ReadSample(SampleKind kind, const std::uint8_t* at) {
  switch (kind) {
    case SampleKind::kFloat32: {
      float value;
      std::memcpy(&value, at, sizeof(value));
      if (std::isnan(value)) return 0;
      return static_cast<std::int16_t>(std::round(std::clamp(static_cast<double>(value), -1.0, 1.0) * 32767.0));
    }
    case SampleKind::kInt16: {
      std::int16_t value;
      std::memcpy(&value, at, sizeof(value));
      return value;
    }
    case SampleKind::kInt32: {
      std::int32_t value;
      std::memcpy(&value, at, sizeof(value));
      return static_cast<std::int16_t>(value >> 16);
    }
    default:
      return 0;
  }
}

}  // namespace

SampleKind SampleKindFor(std::uint16_t formatTag, bool extensibleFloat, std::uint16_t bitsPerSample) {
  const bool isFloat = formatTag == kTagIeeeFloat || (formatTag == kTagExtensible && extensibleFloat);
  if (isFloat) return bitsPerSample == 32 ? SampleKind::kFloat32 : SampleKind::kOther;
  if (bitsPerSample == 16) return SampleKind::kInt16;
  if (bitsPerSample == 32) return SampleKind::kInt32;
  return SampleKind::kOther;
}

std::uint32_t OutputChannels(std::uint32_t sourceChannels) {
  return sourceChannels == 0 ? 1 : std::min<std::uint32_t>(sourceChannels, 2);
}

void ConvertSamples(const SoundSourceFormat& format, const std::uint8_t* data, std::size_t size,
                    std::uint32_t frames, std::vector<std::int16_t>& out) {
  const std::uint32_t channels = OutputChannels(format.channels);
  const std::uint32_t sampleBytes = BytesPerSample(format.kind);
  const std::size_t stride = format.bytesPerFrame != 0 ? format.bytesPerFrame
                                                       : std::size_t{sampleBytes} * format.channels;
  // Only the whole frames the buffer really holds are read; the rest stay silent.
  std::size_t readable = 0;
  if (data != nullptr && stride != 0 && sampleBytes != 0) readable = std::min<std::size_t>(frames, size / stride);
  out.assign(std::size_t{frames} * channels, 0);
  for (std::size_t f = 0; f < readable; ++f) {
    const std::uint8_t* frame = data + f * stride;
    for (std::uint32_t c = 0; c < channels; ++c) {
      // A channel must lie wholly inside the frame (a stride smaller than the channels claim).
      if (c >= format.channels || (std::size_t{c} + 1) * sampleBytes > stride) continue;
      out[f * channels + c] = ReadSample(format.kind, frame + std::size_t{c} * sampleBytes);
    }
  }
}

SoundPacketConverter::SoundPacketConverter(const SoundSourceFormat& format)
    : format_(format), channels_(OutputChannels(format.channels)) {}

std::uint32_t SoundPacketConverter::Process(const std::uint8_t* data, std::size_t size, std::uint32_t frames,
                                            bool silent, std::uint64_t nowMs) {
  samples_.clear();
  if (frames == 0) return 0;
  if (silent) {
    if (nowMs >= lastAudible_ && nowMs - lastAudible_ >= kSilenceTailMs) return 0;
    samples_.assign(std::size_t{frames} * channels_, 0);
    return frames;
  }
  lastAudible_ = nowMs;
  ConvertSamples(format_, data, size, frames, samples_);
  return frames;
}

}  // namespace tvx

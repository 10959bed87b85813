#include "media/sound_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace tvx {
namespace {

template <class T>
std::vector<std::uint8_t> Bytes(const std::vector<T>& values) {
  std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

std::vector<std::int16_t> Convert(const SoundSourceFormat& format, const std::vector<std::uint8_t>& bytes,
                                  std::uint32_t frames) {
  std::vector<std::int16_t> out;
  ConvertSamples(format, bytes.data(), bytes.size(), frames, out);
  return out;
}

TEST(SoundConversion, MixFormatsAreReadByTagAndSampleSize) {
  struct Case {
    std::uint16_t tag;
    bool extensibleFloat;
    std::uint16_t bits;
    SampleKind kind;
  };
  const Case cases[] = {
      {3, false, 32, SampleKind::kFloat32},      {0xFFFE, true, 32, SampleKind::kFloat32},
      {0xFFFE, false, 32, SampleKind::kInt32},   {1, false, 32, SampleKind::kInt32},
      {1, false, 16, SampleKind::kInt16},        {0xFFFE, false, 16, SampleKind::kInt16},
      {1, false, 24, SampleKind::kOther},        {3, false, 64, SampleKind::kOther},
      {1, true, 32, SampleKind::kInt32},  // the sub-format only counts for the extensible tag
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.tag << " " << c.bits);
    EXPECT_EQ(SampleKindFor(c.tag, c.extensibleFloat, c.bits), c.kind);
  }
  EXPECT_EQ(OutputChannels(0), 1u);
  EXPECT_EQ(OutputChannels(1), 1u);
  EXPECT_EQ(OutputChannels(2), 2u);
  EXPECT_EQ(OutputChannels(8), 2u);
}

TEST(SoundConversion, FloatSamplesAreClampedScaledAndRounded) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> in = {1.5f, -1.0f, 0.5f, -1.5f, 0.0f, nan, -0.5f, 1.0f};
  const SoundSourceFormat mono{48000, 1, SampleKind::kFloat32, 4};
  EXPECT_EQ(Convert(mono, Bytes(in), 8),
            (std::vector<std::int16_t>{32767, -32767, 16384, -32767, 0, 0, -16384, 32767}));
}

TEST(SoundConversion, AnEightChannelMixKeepsItsFirstTwoChannels) {
  std::vector<float> in;
  for (int frame = 0; frame < 3; ++frame) {
    for (int channel = 0; channel < 8; ++channel) in.push_back((frame * 8 + channel) / 100.0f);
  }
  const SoundSourceFormat eight{48000, 8, SampleKind::kFloat32, 32};
  EXPECT_EQ(Convert(eight, Bytes(in), 3), (std::vector<std::int16_t>{0, 328, 2621, 2949, 5243, 5570}));
}

TEST(SoundConversion, IntegerSamplesKeepTheirTop16Bits) {
  const SoundSourceFormat stereo16{44100, 2, SampleKind::kInt16, 4};
  const std::vector<std::int16_t> in16 = {-32768, 32767, 5, -5};
  EXPECT_EQ(Convert(stereo16, Bytes(in16), 2), in16);

  const SoundSourceFormat stereo32{44100, 2, SampleKind::kInt32, 8};
  const std::vector<std::int32_t> in32 = {0x12345678, -1, std::numeric_limits<std::int32_t>::min(), 0x7FFFFFFF};
  EXPECT_EQ(Convert(stereo32, Bytes(in32), 2), (std::vector<std::int16_t>{0x1234, -1, -32768, 32767}));

  // Any other size gives silence of the right length.
  const SoundSourceFormat stereo24{44100, 2, SampleKind::kOther, 6};
  EXPECT_EQ(Convert(stereo24, std::vector<std::uint8_t>(12, 0x7F), 2), std::vector<std::int16_t>(4, 0));
}

TEST(SoundConversion, AShortBufferConvertsOnlyTheFramesItHolds) {
  const SoundSourceFormat stereo16{48000, 2, SampleKind::kInt16, 4};
  const std::vector<std::int16_t> in = {1, 2, 3, 4, 5};  // two and a half frames
  EXPECT_EQ(Convert(stereo16, Bytes(in), 4), (std::vector<std::int16_t>{1, 2, 3, 4, 0, 0, 0, 0}));
  // A block alignment too small for the channels it claims reads nothing outside a frame.
  const SoundSourceFormat narrow{48000, 2, SampleKind::kInt16, 2};
  EXPECT_EQ(Convert(narrow, Bytes(in), 2), (std::vector<std::int16_t>{1, 0, 2, 0}));
}

TEST(SoundPacketConverter, SilenceIsSentFor250MsAndThenNotAtAll) {
  const SoundSourceFormat format{48000, 8, SampleKind::kFloat32, 32};
  SoundPacketConverter converter(format);
  converter.Start(1000);
  ASSERT_EQ(converter.channels(), 2u);

  std::uint64_t zeroFrames = 0;
  std::uint64_t lastSent = 0;
  for (std::uint64_t now = 1000; now < 11000; now += 10) {  // ten seconds of silent packets
    const std::uint32_t frames = converter.Process(nullptr, 0, 480, true, now);
    if (frames == 0) continue;
    EXPECT_EQ(converter.samples(), std::vector<std::int16_t>(960, 0));
    zeroFrames += frames;
    lastSent = now;
  }
  EXPECT_EQ(lastSent, 1240u);
  EXPECT_EQ(zeroFrames, 25u * 480);

  // Sound returns: converted, and the tail of silence starts again from it.
  std::vector<float> audible(8 * 4, 0.5f);
  const auto bytes = Bytes(audible);
  EXPECT_EQ(converter.Process(bytes.data(), bytes.size(), 4, false, 11000), 4u);
  EXPECT_EQ(converter.samples(), std::vector<std::int16_t>(8, 16384));
  EXPECT_EQ(converter.Process(nullptr, 0, 4, true, 11249), 4u);
  EXPECT_EQ(converter.Process(nullptr, 0, 4, true, 11250), 0u);
  EXPECT_EQ(converter.Process(bytes.data(), bytes.size(), 0, false, 11300), 0u);  // empty packet
}

}  // namespace
}  // namespace tvx

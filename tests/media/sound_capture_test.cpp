#include "media/sound_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "media/tone_source.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;

// What a fake device does, shared between the test and the source the capture thread creates.
struct FakeDevice {
  struct Packet {
    std::vector<float> samples;
    std::uint32_t frames;
    bool silent;
  };

  std::mutex mutex;
  bool opens = true;
  std::chrono::milliseconds openDelay{0};
  SoundSourceFormat format{48000, 8, SampleKind::kFloat32, 32};
  std::deque<Packet> packets;
  bool failWhenEmpty = false;  // the device goes away once the scripted packets are out
  std::atomic<int> created{0};
  std::atomic<int> closed{0};
  std::atomic<bool> closedOnOwnThread{true};
};

class FakeSource final : public LoopbackSource {
 public:
  explicit FakeSource(FakeDevice& device) : device_(device), thread_(std::this_thread::get_id()) {
    ++device_.created;
  }
  ~FakeSource() override {
    if (std::this_thread::get_id() != thread_) device_.closedOnOwnThread = false;
  }

  bool Open(SoundSourceFormat& format) override {
    std::this_thread::sleep_for(device_.openDelay);
    std::lock_guard lock(device_.mutex);
    format = device_.format;
    return device_.opens;
  }
  bool NextPacketFrames(std::uint32_t& frames) override {
    std::lock_guard lock(device_.mutex);
    if (device_.packets.empty()) {
      frames = 0;
      return !device_.failWhenEmpty;
    }
    frames = device_.packets.front().frames;
    return true;
  }
  bool GetPacket(Packet& packet) override {
    std::lock_guard lock(device_.mutex);
    if (device_.packets.empty()) return false;
    current_ = device_.packets.front();
    device_.packets.pop_front();
    packet.data = reinterpret_cast<const std::uint8_t*>(current_.samples.data());
    packet.size = current_.samples.size() * sizeof(float);
    packet.frames = current_.frames;
    packet.silent = current_.silent;
    return true;
  }
  void ReleasePacket(std::uint32_t) override {}
  void Close() override {
    ++device_.closed;
    if (std::this_thread::get_id() != thread_) device_.closedOnOwnThread = false;
  }

 private:
  FakeDevice& device_;
  std::thread::id thread_;
  FakeDevice::Packet current_;
};

// Collects what the capture thread hands to the sink.
struct Received {
  std::mutex mutex;
  std::vector<std::int16_t> samples;
  std::uint32_t frames = 0;
  int packets = 0;

  SoundCapture::Sink Sink() {
    return [this](const short* data, unsigned int count) {
      std::lock_guard lock(mutex);
      ++packets;
      frames += count;
      samples.insert(samples.end(), data, data + count * 2);
    };
  }
  std::uint32_t Frames() {
    std::lock_guard lock(mutex);
    return frames;
  }
};

template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

LoopbackSourceFactory FactoryFor(FakeDevice& device) {
  return [&device] { return std::make_unique<FakeSource>(device); };
}

TEST(SoundCapture, AnEightChannelFloatMixIsDeliveredAsStereo) {
  testing::LogCapture log;
  FakeDevice device;
  std::vector<float> frames(8 * 2);
  for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = (i % 8) == 0 ? 1.5f : (i % 8) == 1 ? -1.0f : 0.9f;
  device.packets.push_back({frames, 2, false});
  device.packets.push_back({{}, 0, false});  // an empty packet is only released

  SoundCapture capture(FactoryFor(device));
  Received received;
  std::wstring error = L"stale";
  ASSERT_TRUE(capture.Start(received.Sink(), error));
  EXPECT_TRUE(error.empty());
  EXPECT_TRUE(capture.running());
  EXPECT_EQ(capture.sampleRate(), 48000u);
  EXPECT_EQ(capture.channels(), 2u);
  EXPECT_TRUE(log.Contains(L"Audio: capturing 48000 Hz, 2 channels"));

  ASSERT_TRUE(WaitFor([&] { return received.Frames() >= 2; }));
  capture.Stop();
  EXPECT_FALSE(capture.running());
  EXPECT_EQ(received.packets, 1);
  EXPECT_EQ(received.samples, (std::vector<std::int16_t>{32767, -32767, 32767, -32767}));
  EXPECT_TRUE(log.Contains(L"Audio: capture stopped"));
  EXPECT_EQ(device.closed, 1);
  EXPECT_TRUE(device.closedOnOwnThread);
}

TEST(SoundCapture, AMonoMixIsOneChannel) {
  testing::LogCapture log;
  FakeDevice device;
  device.format = {44100, 1, SampleKind::kInt16, 2};
  SoundCapture capture(FactoryFor(device));
  Received received;
  std::wstring error;
  ASSERT_TRUE(capture.Start(received.Sink(), error));
  EXPECT_EQ(capture.channels(), 1u);
  EXPECT_TRUE(log.Contains(L"Audio: capturing 44100 Hz, 1 channel"));
  EXPECT_FALSE(log.Contains(L"1 channels"));
}

TEST(SoundCapture, StartFailuresLeaveNothingRunning) {
  struct Case {
    const char* name;
    bool sink;
    bool opens;
    std::chrono::milliseconds openDelay;
    const wchar_t* error;
  };
  const Case cases[] = {
      {"no sink", false, true, 0ms, L"No audio sink."},
      {"device does not open", true, false, 0ms, L"The playback device could not be opened for capture."},
      {"no report in time", true, true, 300ms, L"The playback device could not be opened for capture."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device;
    device.opens = c.opens;
    device.openDelay = c.openDelay;
    SoundCapture capture(FactoryFor(device), 100ms);
    Received received;
    std::wstring error;
    EXPECT_FALSE(capture.Start(c.sink ? received.Sink() : SoundCapture::Sink{}, error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(capture.running());
    EXPECT_EQ(received.packets, 0);
  }
}

TEST(SoundCapture, EndsByItselfWhenTheDeviceFailsAndCanStartAgain) {
  FakeDevice device;
  device.failWhenEmpty = true;
  device.packets.push_back({std::vector<float>(8, 0.25f), 1, false});
  SoundCapture capture(FactoryFor(device));
  Received received;
  std::wstring error;
  ASSERT_TRUE(capture.Start(received.Sink(), error));
  ASSERT_TRUE(WaitFor([&] { return !capture.running(); }));
  EXPECT_EQ(received.Frames(), 1u);

  // A new start makes a new thread with a new source.
  {
    std::lock_guard lock(device.mutex);
    device.failWhenEmpty = false;
    device.packets.push_back({std::vector<float>(8, 0.25f), 1, false});
  }
  ASSERT_TRUE(capture.Start(received.Sink(), error));
  ASSERT_TRUE(WaitFor([&] { return received.Frames() >= 2; }));
  EXPECT_EQ(device.created, 2);
  capture.Stop();
  EXPECT_EQ(device.closed, 2);
}

TEST(SoundCapture, TheToneSourcePlaysAQuietStereoTone) {
  SoundCapture capture([] { return std::make_unique<ToneSource>(); });
  Received received;
  std::wstring error;
  ASSERT_TRUE(capture.Start(received.Sink(), error));
  EXPECT_EQ(capture.sampleRate(), 48000u);
  EXPECT_EQ(capture.channels(), 2u);
  ASSERT_TRUE(WaitFor([&] { return received.Frames() >= 4800; }));
  capture.Stop();

  std::lock_guard lock(received.mutex);
  std::int16_t peak = 0;
  for (std::size_t i = 0; i + 1 < received.samples.size(); i += 2) {
    EXPECT_EQ(received.samples[i], received.samples[i + 1]);
    peak = std::max<std::int16_t>(peak, received.samples[i]);
  }
  EXPECT_GT(peak, 7000);
  EXPECT_LE(peak, 8192);
}

}  // namespace
}  // namespace tvx

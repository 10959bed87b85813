#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "support/log_capture.h"
#include "viewer/sound_player.h"
#include "viewer/sound_ring.h"

namespace tvx {
namespace {

std::vector<std::int16_t> Ramp(std::int16_t first, std::size_t count) {
  std::vector<std::int16_t> v(count);
  std::iota(v.begin(), v.end(), first);
  return v;
}

std::vector<std::int16_t> ReadAll(SoundRing& ring, std::size_t count) {
  std::vector<std::int16_t> out(count, -1);
  ring.Read(out.data(), count);
  return out;
}

TEST(SoundRing, HoldsTwoHundredMillisecondsOfTheFormat) {
  const struct {
    std::uint32_t rate;
    std::uint16_t channels;
    std::size_t samples;
  } cases[] = {{48000, 2, 19200}, {44100, 1, 8820}, {384000, 8, 614400}, {4, 1, 0}};
  for (const auto& c : cases) EXPECT_EQ(SoundRing::SamplesFor(c.rate, c.channels), c.samples);
}

TEST(SoundRing, KeepsOrderAcrossTheWrapAndPlaysSilenceWhenDry) {
  SoundRing ring;
  ring.Allocate(50, 1);  // 10 samples
  ASSERT_EQ(ring.size(), 10u);
  auto first = Ramp(1, 7);
  ring.Write(first.data(), first.size());
  EXPECT_EQ(ReadAll(ring, 5), Ramp(1, 5));
  auto second = Ramp(8, 6);  // wraps
  ring.Write(second.data(), second.size());
  EXPECT_EQ(ring.filled(), 8u);
  std::vector<std::int16_t> expected = Ramp(6, 8);
  expected.push_back(0);
  expected.push_back(0);
  EXPECT_EQ(ReadAll(ring, 10), expected);
  EXPECT_EQ(ring.filled(), 0u);
  EXPECT_EQ(ReadAll(ring, 3), (std::vector<std::int16_t>{0, 0, 0}));
}

TEST(SoundRing, OverrunDropsTheOldestAndNeverHoldsMoreThanTheRing) {
  const struct {
    std::size_t before, written;
    std::int16_t firstKept;
  } cases[] = {
      {8, 5, 4},    // three oldest dropped
      {10, 1, 2},   // full ring, one dropped
      {3, 25, 19},  // write larger than the ring: only its newest ten stay, in order
      {0, 10, 1},
  };
  for (const auto& c : cases) {
    SoundRing ring;
    ring.Allocate(50, 1);
    auto before = Ramp(1, c.before);
    ring.Write(before.data(), before.size());
    auto more = Ramp(static_cast<std::int16_t>(1 + c.before), c.written);
    ring.Write(more.data(), more.size());
    EXPECT_EQ(ring.filled(), std::min<std::size_t>(c.before + c.written, 10));
    const std::size_t kept = ring.filled();
    EXPECT_EQ(ReadAll(ring, kept), Ramp(c.firstKept, kept)) << c.before << "+" << c.written;
  }
  SoundRing none;  // a format too small for one sample is safe
  none.Allocate(4, 1);
  auto some = Ramp(1, 4);
  none.Write(some.data(), some.size());
  EXPECT_EQ(ReadAll(none, 2), (std::vector<std::int16_t>{0, 0}));
}

// An output that records what it was given; its free space is set by the test.
struct FakeOutputState {
  std::mutex mutex;
  std::vector<std::int16_t> played;
  std::atomic<std::uint32_t> freeFrames{0};
  std::atomic<int> opened{0};
  std::atomic<int> closed{0};
  std::atomic<bool> failOpen{false};
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
};

class FakeOutput : public SoundOutput {
 public:
  explicit FakeOutput(FakeOutputState* state) : state_(state) {}
  bool Open(std::uint32_t rate, std::uint16_t channels) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rate = rate;
    state_->channels = channels;
    ++state_->opened;
    return !state_->failOpen;
  }
  bool FreeFrames(std::uint32_t& frames) override {
    frames = state_->freeFrames.exchange(0);
    return true;
  }
  bool Write(std::uint32_t frames, const Fill& fill) override {
    std::vector<std::int16_t> buffer(static_cast<std::size_t>(frames) * state_->channels);
    fill(buffer.data(), buffer.size());
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->played.insert(state_->played.end(), buffer.begin(), buffer.end());
    return true;
  }
  void Close() override { ++state_->closed; }

 private:
  FakeOutputState* state_;
};

std::vector<std::uint8_t> LittleEndian(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes;
  for (std::int16_t s : samples) {
    bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
  }
  return bytes;
}

template <class Pred>
bool WaitFor(Pred pred) {
  for (int i = 0; i < 400; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

TEST(SoundPlayer, StartsOnAFormatAndRestartsOnlyWhenItChanges) {
  FakeOutputState state;
  SoundPlayer player([&] { return std::make_unique<FakeOutput>(&state); });
  player.OnFormat(48000, 2);
  ASSERT_TRUE(WaitFor([&] { return state.opened == 1; }));
  EXPECT_TRUE(player.active());
  EXPECT_EQ(player.Capacity(), 19200u);
  player.OnFormat(48000, 2);
  player.OnFormat(48000, 2);
  EXPECT_EQ(state.opened, 1);
  player.OnFormat(44100, 1);
  ASSERT_TRUE(WaitFor([&] { return state.opened == 2; }));
  EXPECT_EQ(state.closed, 1);
  EXPECT_EQ(player.Capacity(), 8820u);
  player.Stop();
  EXPECT_FALSE(player.active());
  EXPECT_EQ(state.closed, 2);
}

TEST(SoundPlayer, RefusesBadFormatsAndLeavesPlaybackStopped) {
  const std::pair<std::uint32_t, std::uint16_t> bad[] = {{48000, 0}, {48000, 9}, {0, 2}, {4000000000u, 8}};
  for (const auto& [rate, channels] : bad) {
    testing::LogCapture capture;
    FakeOutputState state;
    SoundPlayer player([&] { return std::make_unique<FakeOutput>(&state); });
    player.OnFormat(48000, 2);  // a bad format also stops what played before
    player.OnFormat(rate, channels);
    EXPECT_FALSE(player.active());
    EXPECT_TRUE(capture.Contains(L"Audio: cannot play it here: Bad audio format."));
    const auto samples = LittleEndian(Ramp(1, 4));
    player.OnSamples(samples.data(), 2);
    EXPECT_EQ(player.Buffered(), 0u);
  }
}

TEST(SoundPlayer, PlaysInOrderThenSilenceAndStaysWithinTheRingWhenTheHostIsFaster) {
  FakeOutputState state;
  SoundPlayer player([&] { return std::make_unique<FakeOutput>(&state); });
  const auto early = LittleEndian(Ramp(1, 4));
  player.OnSamples(early.data(), 2);  // before any format: ignored
  EXPECT_EQ(player.Buffered(), 0u);

  player.OnFormat(1000, 2);  // ring of 400 samples
  ASSERT_TRUE(WaitFor([&] { return state.opened == 1; }));
  const auto packet = LittleEndian(Ramp(-3, 6));
  player.OnSamples(packet.data(), 3);
  state.freeFrames = 5;  // the device asks for more than is buffered
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.played.size() == 10;
  }));
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    EXPECT_EQ(state.played, (std::vector<std::int16_t>{-3, -2, -1, 0, 1, 2, 0, 0, 0, 0}));
  }
  // One second of sound while the device takes nothing: at most the 200 ms ring waits.
  const auto second = LittleEndian(std::vector<std::int16_t>(2000, 5));
  for (int i = 0; i < 10; ++i) {
    player.OnSamples(second.data(), 100);
    EXPECT_LE(player.Buffered(), player.Capacity());
  }
  EXPECT_EQ(player.Buffered(), 400u);
  player.Stop();
  EXPECT_EQ(player.Buffered(), 0u);
}

TEST(SoundPlayer, AnOutputThatCannotOpenLeavesThePlayerInactive) {
  FakeOutputState state;
  state.failOpen = true;
  SoundPlayer player([&] { return std::make_unique<FakeOutput>(&state); });
  player.OnFormat(48000, 2);
  EXPECT_TRUE(WaitFor([&] { return !player.active(); }));
  player.OnFormat(48000, 2);  // the next format tries again
  EXPECT_TRUE(WaitFor([&] { return state.opened == 2; }));
}

TEST(SoundPlayer, TheNullOutputConsumesAtTheDeviceRate) {
  SoundPlayer player(CreateNullSoundOutput);
  player.OnFormat(8000, 1);  // ring of 1600 samples; the null device buffers 800
  ASSERT_TRUE(WaitFor([&] { return player.active(); }));
  const auto full = LittleEndian(std::vector<std::int16_t>(1600, 1));
  player.OnSamples(full.data(), 1600);
  EXPECT_TRUE(WaitFor([&] { return player.Buffered() == 0; }));
  player.Stop();
}

}  // namespace
}  // namespace tvx
